#include "ui/command_line.h"

#include "comm/port_map.h"
#include "ui/port_probe.h"

namespace varnox {

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine result;
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            result.Help = true;
            continue;
        }
        const auto equals = arg.find('=');
        const int port = equals == std::string::npos ? 0 : PortMap::ParsePortName(arg.substr(0, equals));
        if (port == 0) {
            result.Error = "unknown argument '" + arg + "'";
            return result;
        }
        if (port > kMenuPorts) {
            result.Error = arg.substr(0, equals) + " is not in the port menu (COM1 to COM8)";
            return result;
        }
        const std::string path = arg.substr(equals + 1);
        if (path.empty()) {
            result.Error = "no device given for " + arg.substr(0, equals);
            return result;
        }
        for (const PortOverride& seen : result.Ports) {
            if (seen.Port == port) {
                result.Error = "COM" + std::to_string(port) + " is mapped twice";
                return result;
            }
        }
        result.Ports.push_back({port, path});
    }
    return result;
}

std::string UsageText(const std::string& program)
{
    return "usage: " + program + " [COMn=DEVICE]...\n"
           "  COMn=DEVICE  maps the port menu's item COMn (n = 1..8) to DEVICE,\n"
           "               e.g. COM1=/dev/ttyUSB0 or COM1=/dev/pts/7\n"
           "Items not mapped on the command line use the serial ports found on this machine.\n";
}

}  // namespace varnox
