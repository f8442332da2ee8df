#include "cli/command_line.h"

#include <vector>

#include "comm/port_map.h"

namespace varnox {

namespace {

constexpr int kHighestPort = 8;

// What PORT names, and what stops the tool, differ: Linux numbers the ports it
// finds and stops on signals; Windows has its own COMn and console events.
#ifdef _WIN32
constexpr const char* kPortHelp =
    "PORT   COM1 .. COM8 (any letter case): the Windows serial port of that name.\n";
constexpr const char* kStoppedHelp =
    "130 stopped with Ctrl-C, 143 stopped with Ctrl-Break or by closing the\n"
    "console.\n";
#else
constexpr const char* kPortHelp =
    "PORT   a serial device path (anything containing '/', e.g. /dev/ttyUSB0 or a\n"
    "       pseudo-terminal), or COM1 .. COM8 (any letter case): the n-th serial\n"
    "       port found on this machine, USB and ACM adapters first.\n";
constexpr const char* kStoppedHelp = "130 stopped with Ctrl-C, 143 stopped by SIGTERM.\n";
#endif

CommandLine Only(CommandLine::Action action)
{
    CommandLine line;
    line.action = action;
    return line;
}

CommandLine Usage(std::string error)
{
    CommandLine line = Only(CommandLine::Action::UsageError);
    line.error = std::move(error);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return Only(CommandLine::Action::Help);
    if (args.size() == 1 && args[0] == "--version") return Only(CommandLine::Action::Version);

    // Run options may stand before or after the one port.
    CommandLine line;
    line.action = CommandLine::Action::Run;
    std::vector<std::string> ports;
    for (std::size_t index = 0; index < args.size();) {
        std::string error;
        switch (TakeRunOption(args, index, line.run, error)) {
        case OptionTake::Taken: continue;
        case OptionTake::Refused: return Usage(error);
        case OptionTake::NotMine: break;
        }
        const std::string& arg = args[index++];
        if (arg == "--help" || arg == "-h" || arg == "--version") return Usage(arg + " stands alone");
        if (!arg.empty() && arg[0] == '-') return Usage("unknown option " + arg);
        ports.push_back(arg);
    }
    if (ports.empty()) return Usage("no port given");
    if (ports.size() > 1) return Usage("exactly one port is expected");

    const std::string& argument = ports[0];
    if (argument.find('/') != std::string::npos) {
        line.device_path = argument;
        return line;
    }
    const int number = PortMap::ParsePortName(argument);
    if (number < 1 || number > kHighestPort) return Usage("not a port: " + argument);
    line.port_number = number;
    return line;
}

std::string UsageText(const std::string& program)
{
    return "Usage: " + program + " PORT\n"
           "       " + program + " OPTION... PORT\n"
           "       " + program + " --help\n"
           "       " + program + " --version\n"
           "\n"
           "Re-flashes the Varnox fire-alarm control panel connected to PORT: reads its\n"
           "identity, writes the matching firmware's EEPROM part, loads the microKernel,\n"
           "writes the program flash and restarts the panel. Fit the panel's PC\n"
           "programming jumper first: the panel's configuration is erased and it returns\n"
           "to factory settings.\n"
           "\n"
           + kPortHelp +
           "\n"
           "The log goes to standard output, one line as each is written. When standard\n"
           "error is a terminal it shows a status line with the progress. Message box\n"
           "texts go to standard error; the update goes on as if OK had been pressed.\n"
           "Ctrl-C is refused once with a warning; a second Ctrl-C within 3 s stops the\n"
           "update, which can leave the panel unusable.\n"
           "\n"
           "--version prints the program's version and exits.\n"
           "\n"
           "Options of a run:\n" +
           RunOptionsHelp() +
           "\n"
           "Exit status: 0 update completed, 1 update not completed, 2 usage error,\n" +
           kStoppedHelp;
}

}  // namespace varnox
