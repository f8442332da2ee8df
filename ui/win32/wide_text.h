#pragma once
// The engine's texts are UTF-8; the window's controls take UTF-16.

#include <string>

namespace varnox {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace varnox
