#include "record/html_text.h"

#include <cmath>
#include <cstdint>

namespace varnox {

std::string HtmlText(std::string_view text, std::size_t limit)
{
    bool cut = false;
    if (text.size() > limit) {
        std::size_t end = limit;
        while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80)  // not inside a UTF-8 sequence
            --end;
        text = text.substr(0, end);
        cut = true;
    }
    std::string html;
    html.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        case '\'': html += "&#39;"; break;
        default:
            if (uint8_t(c) < 0x20 || c == 0x7F)
                html += "\xEF\xBF\xBD";
            else
                html += c;
        }
    }
    if (cut)
        html += "\xE2\x80\xA6";
    return html;
}

std::string OneDecimal(double value)
{
    if (!std::isfinite(value))
        return "0.0";
    const long long tenths = std::llround(value * 10);
    const long long whole = (tenths < 0 ? -tenths : tenths) / 10;
    return (tenths < 0 ? "-" : "") + std::to_string(whole) + "." +
           std::to_string((tenths < 0 ? -tenths : tenths) % 10);
}

}  // namespace varnox
