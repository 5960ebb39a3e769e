#pragma once
// The little JSON a report and a slot's state need: string literals, and
// reading back one string member of a report object. Pure.
#include <string>

namespace kv9::fleet {

// Text as a JSON string literal, quotes included.
std::string JsonText(const std::string& text);

// The value of the string member `name` of a flat JSON object written by
// this tool (`{"a":1,"run_id":"..."}`), unescaped; "" when there is none.
std::string StringMember(const std::string& json, const std::string& name);

}  // namespace kv9::fleet
