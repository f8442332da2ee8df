#include "comm/port_list.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "core/printable_text.h"

namespace varnox {

namespace {

// The four hex digits after `key` in `id` ("VID_" in "USB\VID_0403&..."); empty when absent.
std::string HexAfter(const std::string& id, const std::string& key)
{
    std::string upper = id;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t at = upper.find(key);
    if (at == std::string::npos || at + key.size() + 4 > id.size())
        return {};
    std::string digits = id.substr(at + key.size(), 4);
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

std::string PortName(const PortInfo& port)
{
    return port.Number > 0 ? "COM" + std::to_string(port.Number) : "-";
}

std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        text += (text.empty() ? "" : " ") + part;
    }
    return text;
}

}  // namespace

PortMap MapOf(const std::vector<PortInfo>& ports)
{
    PortMap map;
    for (const PortInfo& port : ports) {
        if (port.Number > 0)
            map.Map(port.Number, port.Device);
    }
    return map;
}

std::string PortSummary(const PortInfo& port)
{
    // A USB descriptor says what its maker likes, escape sequences included.
    const std::string adapter =
        Joined({PrintableText(port.Maker), PrintableText(port.Product), PrintableText(port.Serial)});
    std::string text = Joined({port.Number > 0 ? PortName(port) : std::string(), PrintableText(port.Device)});
    return adapter.empty() ? text : text + " (" + adapter + ")";
}

std::string PortsHere(const std::vector<PortInfo>& ports)
{
    if (ports.empty())
        return "no serial port here";
    std::string text = "ports here:";
    for (std::size_t i = 0; i < ports.size(); ++i)
        text += (i == 0 ? " " : ", ") + PortSummary(ports[i]);
    return text;
}

std::string PortTable(const std::vector<PortInfo>& ports)
{
    std::vector<std::vector<std::string>> rows = {
        {"PORT", "DEVICE", "DRIVER", "USB ID", "MAKER", "PRODUCT", "SERIAL", "BY-ID"}};
    for (const PortInfo& port : ports) {
        rows.push_back({PortName(port), port.Device, port.Driver, port.UsbId, port.Maker, port.Product,
                        port.Serial, port.ById});
        for (std::string& cell : rows.back()) {
            // Descriptors and names as the system gives them, controls escaped.
            cell = cell.empty() ? "-" : PrintableText(cell);
        }
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        table += line + "\n";
    }
    if (ports.empty())
        table += "(no serial port found)\n";
    return table;
}

std::string UsbIdOfHardwareId(const std::string& hardware_id)
{
    const std::string vendor = HexAfter(hardware_id, "VID_");
    const std::string product = HexAfter(hardware_id, "PID_");
    return vendor.empty() || product.empty() ? std::string() : vendor + ":" + product;
}

std::string SerialOfInstanceId(const std::string& instance_id)
{
    const std::size_t first = instance_id.find('\\');
    if (first == std::string::npos)
        return {};
    const std::string bus = instance_id.substr(0, first);
    const std::size_t last = instance_id.rfind('\\');
    std::string serial;
    if (bus == "FTDIBUS") {
        // The serial with the port's letter appended, between the second '+' and the '\'.
        const std::size_t plus = instance_id.find('+', instance_id.find('+', first) + 1);
        if (plus == std::string::npos || plus > last)
            return {};
        serial = instance_id.substr(plus + 1, last - plus - 1);
        if (serial.size() > 1)
            serial.pop_back();
    } else if (bus == "USB" && last != first) {
        serial = instance_id.substr(last + 1);
    }
    return serial.find('&') == std::string::npos ? serial : std::string();
}

std::string ProductOfFriendlyName(const std::string& friendly_name)
{
    const std::size_t open = friendly_name.rfind(" (COM");
    if (open == std::string::npos || friendly_name.back() != ')')
        return friendly_name;
    return friendly_name.substr(0, open);
}

}  // namespace varnox
