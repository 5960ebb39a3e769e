#pragma once
// UTF-8 (the core's texts) to UTF-16 (every W call) and back.
#include <string>

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
