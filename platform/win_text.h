#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// UTF-8 <-> UTF-16 for the wide-character Windows API; invalid input yields an empty string.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tonvela
