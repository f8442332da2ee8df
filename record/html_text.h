#pragma once
// Record texts made safe to stand in an HTML page: escaped, without control
// characters, and cut short, since a page that must print on one sheet cannot
// take a kilobyte-long port name an edited record may hold.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnox {

// `text` with & < > " ' as character references and control characters as
// U+FFFD; longer than `limit` bytes, cut at a character boundary and ended with "…".
std::string HtmlText(std::string_view text, std::size_t limit = 160);

// A number with one decimal, whatever the C locale says a decimal point is:
// "12.3", "-0.5".
std::string OneDecimal(double value);

}  // namespace varnox
