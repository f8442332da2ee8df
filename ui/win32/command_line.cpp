#include "ui/win32/command_line.h"

#include <set>

#include "ui/win32/form_layout.h"

namespace varnox {

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args)
{
    WindowCommandLine result;
    std::set<int> seen;
    for (const std::string& arg : args) {
        const auto equals = arg.find('=');
        const int port = equals == std::string::npos ? 0 : PortMap::ParsePortName(arg.substr(0, equals));
        if (port < 1 || port > kMenuPorts) {
            result.Error = "unknown argument '" + arg + "'";
            return result;
        }
        const std::string device = arg.substr(equals + 1);
        if (device.empty()) {
            result.Error = "no device given for " + arg.substr(0, equals);
            return result;
        }
        if (!seen.insert(port).second) {
            result.Error = "COM" + std::to_string(port) + " is mapped twice";
            return result;
        }
        result.Overrides.Map(port, device);
    }
    return result;
}

}  // namespace varnox
