#pragma once
// Kept for suites not yet moved to the shared support library.
#include "tests/support/sim_fixture.h"
