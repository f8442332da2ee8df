#include "ui/core/window_command_line.h"

#include "comm/port_map.h"
#include "firmware/image_provenance.h"
#include "ui/core/port_probe.h"

namespace varnox {

namespace {

#ifdef _WIN32
constexpr const char* kDeviceExample =
    "               e.g. COM1=\\\\.\\COM12 for an adapter numbered above 8\n"
    "Items not mapped on the command line are the system's ports of the same name.\n";
constexpr const char* kToolkitOptions = "";
#else
constexpr const char* kDeviceExample =
    "               e.g. COM1=/dev/ttyUSB0 or COM1=/dev/pts/7\n"
    "Items not mapped on the command line use the serial ports found on this machine.\n";
constexpr const char* kToolkitOptions =
    "Qt's own options (-platform NAME, -style NAME, -display DISPLAY, -reverse, ...;\n"
    "see the manual page) are passed to Qt.\n";
#endif

WindowCommandLine Refused(std::string error)
{
    WindowCommandLine line;
    line.What = WindowCommandLine::Action::UsageError;
    line.Error = std::move(error);
    return line;
}

}  // namespace

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args)
{
    WindowCommandLine result;
    for (std::size_t index = 0; index < args.size();) {
        std::string error;
        switch (TakeRunOption(args, index, result.Run, error)) {
        case OptionTake::Taken: continue;
        case OptionTake::Refused: return Refused(error);
        case OptionTake::NotMine: break;
        }
        const std::string& arg = args[index++];
        if (arg == "-h" || arg == "--help") {
            result.What = WindowCommandLine::Action::Help;
            continue;
        }
        if (arg == "--version") {
            if (result.What != WindowCommandLine::Action::Help)
                result.What = WindowCommandLine::Action::Version;
            continue;
        }
        const auto equals = arg.find('=');
        const int port = equals == std::string::npos ? 0 : PortMap::ParsePortName(arg.substr(0, equals));
        if (port == 0)
            return Refused("unknown argument '" + arg + "'");
        if (port > kMenuPorts)
            return Refused(arg.substr(0, equals) + " is not in the port menu (COM1 to COM8)");
        const std::string path = arg.substr(equals + 1);
        if (path.empty())
            return Refused("no device given for " + arg.substr(0, equals));
        for (const PortOverride& seen : result.Ports) {
            if (seen.Port == port)
                return Refused("COM" + std::to_string(port) + " is mapped twice");
        }
        result.Ports.push_back({port, path});
    }
    return result;
}

std::string WindowUsageText(const std::string& program)
{
    return "usage: " + program +
           " [OPTION]... [COMn=DEVICE]...\n"
           "       " +
           program +
           " --help | --version\n"
           "  COMn=DEVICE  maps the port menu's item COMn (n = 1..8) to DEVICE,\n" +
           kDeviceExample +
           "  --version    prints the program's version, the carried image set and the\n"
           "               source commit and build date, then ends\n" +
           RunOptionsHelp() +
           "--fast, --verify-eeprom, --no-record and --trace hold for this start over the\n"
           "choices kept from the OPTIONS menu, and do not change them.\n" +
           kToolkitOptions;
}

StartupAnswer AnswerWindowCommandLine(const WindowCommandLine& line, const std::string& program)
{
    switch (line.What) {
    case WindowCommandLine::Action::UsageError:
        return {2, {}, program + ": " + line.Error + "\n" + WindowUsageText(program)};
    case WindowCommandLine::Action::Help: return {0, WindowUsageText(program), {}};
    case WindowCommandLine::Action::Version: return {0, VersionText(program), {}};
    case WindowCommandLine::Action::OpenWindow: break;
    }
    return {};
}

}  // namespace varnox
