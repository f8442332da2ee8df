#include "update/run_options.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace varnox {

namespace {

struct OptionRow {
    std::string_view Name;   // "--record"
    std::string_view Value;  // what its value is called in the help ("FILE"); empty when it takes none
    std::string_view Help;   // lines separated by "\n"
    void (*Apply)(RunOptions& options, const std::string& value);
};

// The help's second column starts here.
constexpr std::size_t kHelpColumn = 24;

constexpr OptionRow kOptions[] = {
    {"--allow-stand-in", "",
     "write the carried images even though they are stand-ins\n(also VARNOX_ALLOW_STAND_IN=1)",
     [](RunOptions& options, const std::string&) { options.AllowStandIn = true; }},
    {"--record", "FILE", "append the run record to FILE instead of the per-user file",
     [](RunOptions& options, const std::string& value) { options.RecordFile = value; }},
    {"--no-record", "", "keep no run record of this run",
     [](RunOptions& options, const std::string&) { options.NoRecord = true; }},
    {"--fast", "",
     "go on as soon as each reply is in, not after the fixed\n"
     "waits. Relies on a panel that takes its next request\n"
     "once it has acknowledged the last. Always reads the\n"
     "EEPROM back (as --verify-eeprom), so what the panel\n"
     "holds is checked either way",
     [](RunOptions& options, const std::string&) { options.Fast = true; }},
    {"--verify-eeprom", "",
     "after the EEPROM download, read the written range\n"
     "back, compare it with the image and write differing\n"
     "chunks again",
     [](RunOptions& options, const std::string&) { options.VerifyEeprom = true; }},
    {"--trace", "FILE",
     "write every byte sent and received, with its time, and\n"
     "the port's events (open, close, flush, gone, re-open)\n"
     "to FILE, in the simulated panel's transcript lines",
     [](RunOptions& options, const std::string& value) { options.TraceFile = value; }},
};

std::string Needs(const OptionRow& row)
{
    return std::string(row.Name) + " needs a " + std::string(row.Value);
}

}  // namespace

OptionTake TakeRunOption(const std::vector<std::string>& args, std::size_t& index, RunOptions& options,
                         std::string& error)
{
    const std::string& arg = args[index];
    for (const OptionRow& row : kOptions) {
        const bool takes_value = !row.Value.empty();
        std::string value;
        if (arg == row.Name) {
            if (takes_value) {
                if (index + 1 >= args.size() || args[index + 1].empty()) {
                    error = Needs(row);
                    return OptionTake::Refused;
                }
                value = args[++index];
            }
        } else if (arg.size() > row.Name.size() && arg.compare(0, row.Name.size(), row.Name) == 0 &&
                   arg[row.Name.size()] == '=') {
            if (!takes_value) {
                error = std::string(row.Name) + " takes no value";
                return OptionTake::Refused;
            }
            value = arg.substr(row.Name.size() + 1);
            if (value.empty()) {
                error = Needs(row);
                return OptionTake::Refused;
            }
        } else {
            continue;
        }
        row.Apply(options, value);
        ++index;
        return OptionTake::Taken;
    }
    return OptionTake::NotMine;
}

std::string RunOptionsHelp()
{
    std::string text;
    for (const OptionRow& row : kOptions) {
        std::string line = "  " + std::string(row.Name);
        if (!row.Value.empty())
            line += " " + std::string(row.Value);
        std::string_view help = row.Help;
        for (;;) {
            line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
            const auto end = help.find('\n');
            text += line + std::string(help.substr(0, end)) + "\n";
            if (end == std::string_view::npos)
                break;
            help.remove_prefix(end + 1);
            line.clear();
        }
    }
    return text;
}

void ApplyRunEnvironment(RunOptions& options)
{
    const char* allow = std::getenv("VARNOX_ALLOW_STAND_IN");
    if (allow != nullptr && std::string_view(allow) == "1")
        options.AllowStandIn = true;
}

}  // namespace varnox
