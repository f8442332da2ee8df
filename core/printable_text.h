#pragma once
// Text from outside (a USB adapter's descriptors, the lines of a record file)
// made safe to print on a terminal: a crafted string must not be able to set
// the terminal's title, move the cursor or clear the screen.

#include <string>
#include <string_view>

namespace varnox {

// `text` with every C0 control (bytes 0x00..0x1F) and DEL (0x7F) written as
// \xHH with two upper-case hex digits, e.g. ESC as \x1B. All other bytes,
// UTF-8 included, pass unchanged, so ordinary names look as they are.
std::string PrintableText(std::string_view text);

}  // namespace varnox
