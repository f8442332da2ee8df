#pragma once
// A small dialog that asks for one line of text (TECHNICIAN...).

#include <windows.h>

#include <optional>
#include <string>

namespace varnox {

// Modal: `prompt` above a field holding `current`. The text entered (which
// may be empty) on OK; std::nullopt when cancelled.
std::optional<std::string> AskText(HWND owner, const std::string& caption, const std::string& prompt,
                                   const std::string& current);

}  // namespace varnox
