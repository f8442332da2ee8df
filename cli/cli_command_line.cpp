#include "cli/cli_command_line.h"

#include <algorithm>
#include <vector>

#include "comm/port_map.h"

namespace varnox {

namespace {

// What PORT names, and what stops the tool, differ: Linux numbers the ports it
// finds and stops on signals; Windows has its own COMn and console events.
#ifdef _WIN32
constexpr const char* kPortHelp =
    "PORT   COM1 .. COM256 (any letter case) or \\\\.\\COMn: the Windows serial\n"
    "       port of that name. --list-ports shows the ports there are.\n";
constexpr const char* kStoppedHelp =
    "  130 stopped with Ctrl-C, 143 stopped with Ctrl-Break or by closing the\n"
    "      console.\n";
constexpr const char* kRecordHelp = "The run record: %LOCALAPPDATA%\\varnox-patch\\runs.jsonl.\n";
#else
constexpr const char* kPortHelp =
    "PORT   a serial device path (anything containing '/'): best a link in\n"
    "       /dev/serial/by-id/, which names the adapter and keeps its name when\n"
    "       it is plugged in again, or /dev/ttyUSB0, a pseudo-terminal...; or COMn\n"
    "       (any letter case, n 1 .. 256): the n-th serial port found on this\n"
    "       machine, USB and ACM adapters first. --list-ports shows them all.\n";
constexpr const char* kStoppedHelp = "  130 stopped with Ctrl-C, 143 stopped by SIGTERM.\n";
constexpr const char* kRecordHelp =
    "The run record: $XDG_STATE_HOME/varnox-patch/runs.jsonl (by default\n"
    "~/.local/state/varnox-patch/runs.jsonl).\n";
#endif

CliCommandLine Only(CliCommandLine::Action action)
{
    CliCommandLine line;
    line.action = action;
    return line;
}

CliCommandLine Usage(std::string error)
{
    CliCommandLine line = Only(CliCommandLine::Action::UsageError);
    line.error = std::move(error);
    return line;
}

// --report FILE [N], with --record FILE before or after.
CliCommandLine ParseReport(const std::vector<std::string>& args)
{
    CliCommandLine line = Only(CliCommandLine::Action::Report);
    std::vector<std::string> values;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (arg == "--report")
            continue;
        if (arg == "--record" || arg.rfind("--record=", 0) == 0) {
            line.history_file = arg == "--record" ? (index + 1 < args.size() ? args[++index] : "") : arg.substr(9);
            if (line.history_file.empty())
                return Usage("--record needs a FILE");
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-')
            return Usage("--report takes a FILE, a run number and --record FILE, not " + arg);
        values.push_back(arg);
    }
    if (values.empty() || values[0].empty())
        return Usage("--report needs a FILE");
    if (values.size() > 2)
        return Usage("--report takes one FILE and at most one run number");
    line.report_file = values[0];
    if (values.size() == 2) {
        const std::string& number = values[1];
        if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(number) == 0)
            return Usage("not a run number: " + number + " (1 is the oldest run --history shows)");
        line.report_run = std::stoi(number);
    }
    return line;
}

}  // namespace

CliCommandLine ParseCliCommandLine(int argc, const char* const* argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
        return Only(CliCommandLine::Action::Help);
    if (args.size() == 1 && args[0] == "--version")
        return Only(CliCommandLine::Action::Version);
    if (args.size() == 1 && args[0] == "--list-ports")
        return Only(CliCommandLine::Action::ListPorts);
    if (!args.empty() && args[0] == "--history") {
        if (args.size() > 2)
            return Usage("--history takes at most one file");
        CliCommandLine line = Only(CliCommandLine::Action::History);
        if (args.size() == 2)
            line.history_file = args[1];
        return line;
    }
    if (std::find(args.begin(), args.end(), "--report") != args.end())
        return ParseReport(args);

    // Run options may stand before or after the one port.
    CliCommandLine line;
    line.action = CliCommandLine::Action::Run;
    std::vector<std::string> ports;
    for (std::size_t index = 0; index < args.size();) {
        std::string error;
        switch (TakeRunOption(args, index, line.run, error)) {
        case OptionTake::Taken: continue;
        case OptionTake::Refused: return Usage(error);
        case OptionTake::NotMine: break;
        }
        const std::string& arg = args[index++];
        if (arg == "--identify") {
            line.action = CliCommandLine::Action::Identify;
            continue;
        }
        if (arg == "--help" || arg == "-h" || arg == "--version" || arg == "--history" || arg == "--list-ports")
            return Usage(arg + " stands alone");
        if (!arg.empty() && arg[0] == '-')
            return Usage("unknown option " + arg);
        ports.push_back(arg);
    }
    if (ports.empty())
        return Usage("no port given");
    if (ports.size() > 1)
        return Usage("exactly one port is expected");

    const std::string& argument = ports[0];
    if (argument.find('/') != std::string::npos) {
        line.device_path = argument;
        return line;
    }
    // Windows' own device name of a port, \\.\COMn, names COMn.
    const std::string device_prefix = "\\\\.\\";
    const bool device_name = argument.rfind(device_prefix, 0) == 0;
    const int number = PortMap::ParsePortName(device_name ? argument.substr(device_prefix.size()) : argument);
    if (number == 0)
        return Usage("not a port: " + argument);
    line.port_number = number;
    return line;
}

std::string CliUsageText(const std::string& program)
{
    return "Usage: " + program +
           " PORT\n"
           "       " +
           program +
           " OPTION... PORT\n"
           "       " +
           program +
           " --identify PORT\n"
           "       " +
           program +
           " --history [FILE]\n"
           "       " +
           program +
           " --report FILE [N] [--record RECORD]\n"
           "       " +
           program +
           " --list-ports\n"
           "       " +
           program +
           " --help\n"
           "       " +
           program +
           " --version\n"
           "\n"
           "Re-flashes the Varnox fire-alarm control panel connected to PORT: reads its\n"
           "identity, writes the matching firmware's EEPROM part, loads the microKernel,\n"
           "writes the program flash and restarts the panel. Fit the panel's PC\n"
           "programming jumper first: the panel's configuration is erased and it returns\n"
           "to factory settings.\n"
           "\n" +
           kPortHelp +
           "\n"
           "The log goes to standard output, one line as each is written. When standard\n"
           "error is a terminal it shows a status line with the progress. Message box\n"
           "texts go to standard error; the update goes on as if OK had been pressed.\n"
           "Ctrl-C is refused once with a warning; a second Ctrl-C within 3 s stops the\n"
           "update, which can leave the panel unusable. An internal fault that ends the\n"
           "update is said in one line on standard error; the exit status is then 1 or 3.\n"
           "\n"
           "The carried firmware images may be generated stand-ins (--version says so);\n"
           "a stand-in is never written into a panel without --allow-stand-in.\n"
           "After the restart the panel's identity is read again and compared with\n"
           "the image written. Every run that reads the panel's identity appends a line\n"
           "to the run record.\n"
           "\n" +
           kRecordHelp +
           "\n"
           "--identify reads the panel's identity, prints it with the firmware name\n"
           "that fits and the image that would be written, and writes nothing: exit\n"
           "status 0 when an update could start, 1 otherwise.\n"
           "--history prints the run record (or FILE) as a table, newest last, each\n"
           "run with its number. It reads only a regular file of at most 64 MiB: exit\n"
           "status 1 when FILE is missing, not a regular file or bigger.\n"
           "--trace FILE must not be the run record's file; a trace that cannot be\n"
           "written is said once on standard error at the end of the run.\n"
           "--report writes the report of the last run in the run record (or RECORD),\n"
           "or of run N as --history numbers them, to FILE: one HTML page to print on\n"
           "A4 for the panel's maintenance register. Exit status 1 when there is no\n"
           "such run or the record cannot be read, 0 when FILE is written.\n"
           "--list-ports lists the serial ports of this machine without opening any:\n"
           "the COMn that reaches each, its device, driver, USB vendor:product, maker,\n"
           "product, serial and by-id path. Here and in --history control characters\n"
           "(0x00..0x1F, 0x7F) are shown as \\xHH, e.g. \\x1B for an escape.\n"
           "--version prints the program's version, the carried image set and the source\n"
           "commit and build date.\n"
           "\n"
           "Options of a run:\n" +
           RunOptionsHelp() +
           "\n"
           "Exit status:\n"
           "  0   update completed and the panel verified after its restart\n"
           "  1   update not completed, panel unchanged (no answer, port not opened,\n"
           "      release refused, no image, stand-in refused; --identify: no update)\n"
           "  2   usage error\n"
           "  3   update not completed, panel changed (EEPROM, loader, microKernel or\n"
           "      flash failed): the panel may be unusable until a new update\n"
           "  4   update completed but not verified after the restart\n" +
           kStoppedHelp;
}

}  // namespace varnox
