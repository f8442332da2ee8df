#include "sim/panel_sim_options.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "sim/panel_fault.h"

namespace varnox {
namespace {

struct DelayRow {
    const char* Name;
    double PanelTiming::*Field;
    const char* Meaning;
};

constexpr std::array<DelayRow, 8> kDelays = {{
    {"read", &PanelTiming::ReadDelay, "read reply (ReadMemory, ReadEeprom)"},
    {"write", &PanelTiming::WriteDelay, "write acknowledgement (WriteEeprom, WriteMemory)"},
    {"handshake", &PanelTiming::HandshakeDelay, "handshake reply"},
    {"microkernel", &PanelTiming::MicroKernelDelay, "microKernel and closing acknowledgement"},
    {"flash", &PanelTiming::FlashDelay, "flash packet reply"},
    {"erase", &PanelTiming::EraseTime, "flash erase after the closing packet"},
    {"restart", &PanelTiming::RestartTime, "restart after the end packet"},
    {"byte", &PanelTiming::ByteTime, "one byte on the line (0.286: 38400 baud 8E1)"},
}};

constexpr double kMaxDelayMs = 60000;

std::optional<double> ParseMilliseconds(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    // from_chars takes "nan" and "inf" too; a NaN slips past any comparison.
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0 ||
        value > kMaxDelayMs)
        return std::nullopt;
    return value;
}

bool ParseDelay(const std::string& text, PanelTiming& timing, std::string& error)
{
    const std::size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    for (const DelayRow& row : kDelays) {
        if (name != row.Name)
            continue;
        const std::optional<double> ms =
            equals == std::string::npos ? std::nullopt : ParseMilliseconds(text.substr(equals + 1));
        if (!ms) {
            error = "--delay " + text + ": expected " + name + "=MS with MS from 0 to 60000";
            return false;
        }
        timing.*row.Field = *ms / 1000.0;
        return true;
    }
    error = "--delay " + text + ": unknown delay \"" + name + "\"";
    return false;
}

// MS from the command line into `seconds`.
bool ParseTime(const std::string& option, const std::string& text, double& seconds, std::string& error)
{
    const std::optional<double> ms = ParseMilliseconds(text);
    if (!ms) {
        error = option + " " + text + ": expected MS from 0 to 60000";
        return false;
    }
    seconds = *ms / 1000.0;
    return true;
}

bool ParseWord(const std::string& text, uint16_t& word)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    unsigned value = 0;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, value, 16);
    if (digits.empty() || ec != std::errc() || ptr != end || value > 0xFFFF)
        return false;
    word = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool ParseIdentityHex(const std::string& text, IdentityBytes& identity)
{
    std::string digits;
    for (const char c : text) {
        if (c == ':' || c == '-' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits += c;
    }
    if (digits.size() != 2 * identity.size())
        return false;
    for (std::size_t i = 0; i < identity.size(); ++i)
        identity[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

bool ParsePanelSimOptions(const std::vector<std::string>& args, PanelSimOptions& options, std::string& error)
{
    bool identity_given = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inline_value;
        if (const std::size_t equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inline_value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        // The option's value, from "--opt=value" or from the next argument.
        auto value = [&](std::string& out) {
            if (inline_value) {
                out = *inline_value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto flag = [&] {
            if (inline_value) {
                error = option + " takes no value";
                return false;
            }
            return true;
        };

        std::string text;
        if (option == "--help" || option == "-h") {
            if (!flag())
                return false;
            options.Help = true;
        } else if (option == "--version") {
            if (!flag())
                return false;
            options.Version = true;
        } else if (option == "--exit-after-restart") {
            if (!flag())
                return false;
            options.ExitAfterRestart = true;
        } else if (option == "--identity" || option == "--as") {
            if (!value(text))
                return false;
            if (identity_given) {
                error = "give the identity once, with either --identity or --as";
                return false;
            }
            identity_given = true;
            if (option == "--as") {
                options.ImpersonateName = text;
            } else if (!ParseIdentityHex(text, options.Panel.Identity)) {
                error = "--identity " + text + ": expected six bytes in hex, e.g. 00000B200000";
                return false;
            }
        } else if (option == "--eeprom-word") {
            if (!value(text))
                return false;
            if (!ParseWord(text, options.Panel.EepromWord)) {
                error = "--eeprom-word " + text + ": expected a 16-bit hex number, e.g. 8000";
                return false;
            }
        } else if (option == "--delay") {
            if (!value(text) || !ParseDelay(text, options.Panel.Timing, error))
                return false;
        } else if (option == "--eeprom-write-ms") {
            if (!value(text) || !ParseTime(option, text, options.Panel.Timing.EepromWriteTime, error))
                return false;
        } else if (option == "--return-after") {
            if (!value(text) || !ParseTime(option, text, options.Panel.Timing.AdapterReturn, error))
                return false;
        } else if (option == "--link") {
            if (!value(options.LinkPath))
                return false;
        } else if (option == "--fault") {
            if (!value(text))
                return false;
            const std::optional<PanelFault> fault = ParsePanelFault(text, error);
            if (!fault)
                return false;
            options.Panel.Faults.push_back(*fault);
        } else if (option == "--dump-eeprom") {
            if (!value(options.DumpEeprom))
                return false;
        } else if (option == "--dump-flash") {
            if (!value(options.DumpFlash))
                return false;
        } else if (option == "--verify") {
            if (!value(options.VerifyName))
                return false;
        } else if (option == "--transcript") {
            if (!value(options.TranscriptPath))
                return false;
        } else {
            error = "unknown option " + args[i];
            return false;
        }
    }
    return true;
}

std::string PanelSimUsage()
{
    std::string usage =
        "Usage: varnox-panel-sim [OPTION]...\n"
        "A simulated Varnox panel on a pseudo-terminal. The first line of output is the\n"
        "path of the terminal to open as the panel's serial port; the panel then answers\n"
        "at real time as a panel does, until SIGINT or SIGTERM (or --exit-after-restart).\n"
        "\n"
        "Panel:\n"
        "  --identity HEX         identity block at 0xFED0..0xFED5 of the old firmware,\n"
        "                         six bytes in hex (default 00000B200000)\n"
        "  --as NAME              take the identity block of a carried firmware image, by\n"
        "                         image or catalogue name (e.g. FWKA1AVRXGAA0I_2x04)\n"
        "  --eeprom-word HEX      the word at EEPROM 0x2820 (default 8000)\n"
        "  --delay KIND=MS        reply delay after the request in milliseconds (every MS\n"
        "                         here is a number from 0 to 60000); KIND is\n";
    for (const DelayRow& row : kDelays) {
        std::string line = "                           " + std::string(row.Name);
        line.resize(40, ' ');
        usage += line + row.Meaning + "\n";
    }
    usage +=
        "  --eeprom-write-ms MS   time to store a WriteEeprom chunk (default 5): its\n"
        "                         acknowledgement follows the store, and a request with\n"
        "                         a byte arriving during the store is ignored whole\n"
        "  --fault TYPE:KIND:N[:COUNT]\n"
        "                         spoil the reply to the N-th request of KIND (and the\n"
        "                         COUNT-1 after it); repeatable. KIND is one of\n"
        "                         read-memory read-eeprom write-eeprom write-memory\n"
        "                         handshake microkernel closing flash, or end (the end\n"
        "                         packet) for the faults of the restart, which may be\n"
        "                         given bare for its first one. TYPE is one of\n" +
        PanelFaultHelp(27) +
        "  --return-after MS      how long the adapter of pull-return stays away\n"
        "                         (default 2000)\n"
        "\n"
        "Port:\n"
        "  --link PATH            keep a symbolic link PATH to the current terminal, as\n"
        "                         udev's /dev/serial/by-id links do; it follows the\n"
        "                         panel to its new terminal after pull-return and is\n"
        "                         removed at the end; PATH must not exist, or be a\n"
        "                         link to a pseudo-terminal (left by an earlier run)\n"
        "Each line of output is the path of the panel's current terminal: the first at\n"
        "the start, one more each time the adapter returns after pull-return.\n"
        "\n"
        "At the end:\n"
        "  --exit-after-restart   stop once the panel has restarted after the end packet\n"
        "  --dump-eeprom FILE     write the 65536-byte EEPROM to FILE\n"
        "  --dump-flash FILE      write the 131072-byte program flash to FILE\n"
        "  --verify NAME          compare flash and EEPROM with the image NAME writes;\n"
        "                         one line on stderr, exit status 0 equal, 3 different\n"
        "  --transcript FILE      log every byte on the wire, time-stamped, in hex\n"
        "  --version              show the version and the carried image set (stand-in\n"
        "                         or real, with the SHA-256 of the set), the source\n"
        "                         commit and the build date\n"
        "  -h, --help             show this text\n"
        "\n"
        "Exit status: 0 done (and equal with --verify), 1 failure, 2 bad command line,\n"
        "3 --verify found a difference.\n";
    return usage;
}

}  // namespace varnox
