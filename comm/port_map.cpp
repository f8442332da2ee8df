#include "comm/port_map.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace varnox {

namespace {

struct TtyFamily {
    const char* prefix;
    bool needs_real_uart;  // ttyS entries exist for every possible UART, most of them phantoms
};

// Adapters first: a technician's PC talks to the panel through one of them
// far more often than through an on-board port.
constexpr TtyFamily kTtyFamilies[] = {
    {"ttyUSB", false},
    {"ttyACM", false},
    {"ttyS", true},
};

// The number after `prefix` in `name`, or -1 when `name` is not prefix + digits.
long NumberAfter(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 1000000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// A ttyS whose UART type is 0 ("unknown") has no hardware behind it.
bool HasRealUart(const std::filesystem::path& entry)
{
    std::ifstream type(entry / "type");
    long value = 0;
    return type >> value && value != 0;
}

}  // namespace

PortMap PortMap::Discover(const std::string& sys_class_tty)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(sys_class_tty, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().string());

    PortMap map;
    int port = 1;
    for (const TtyFamily& family : kTtyFamilies) {
        std::vector<std::pair<long, std::string>> found;
        for (const std::string& name : names) {
            const long n = NumberAfter(name, family.prefix);
            if (n < 0)
                continue;
            if (family.needs_real_uart && !HasRealUart(std::filesystem::path(sys_class_tty) / name))
                continue;
            found.emplace_back(n, name);
        }
        std::sort(found.begin(), found.end());
        for (const auto& entry : found)
            map.Map(port++, "/dev/" + entry.second);
    }
    return map;
}

std::string PortMap::PathOf(int port) const
{
    const auto it = paths_.find(port);
    return it == paths_.end() ? std::string() : it->second;
}

int PortMap::ParsePortName(const std::string& name)
{
    std::string text = name;
    if (!text.empty() && text.back() == ':')
        text.pop_back();  // the device name form "COM3:"
    if (text.size() < 4 || text.size() > 6)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i])
            return 0;
    }
    int n = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return 0;
        n = n * 10 + (text[i] - '0');
    }
    return n >= 1 && n <= 256 ? n : 0;
}

}  // namespace varnox
