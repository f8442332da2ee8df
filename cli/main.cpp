// varnox-patch-cli: the update of the window's one button, for benches,
// scripts and machines without a screen.

#include <signal.h>
#include <unistd.h>

#include <algorithm>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "cli/cli_command_line.h"
#include "cli/console_window.h"
#include "cli/guarded_update.h"
#include "cli/history_report.h"
#include "cli/report_command.h"
#include "cli/stop_events.h"
#include "comm/port_list.h"
#include "firmware/image_provenance.h"
#include "setup/program_setup.h"
#include "update/exit_status.h"
#include "update/identify_report.h"
#include "update/update_engine.h"

namespace {

constexpr const char* kProgram = "varnox-patch-cli";

#ifdef _WIN32
// The same bytes as on Linux: no "\r\n" for "\n", the texts' UTF-8 shown as
// such, and the status line's escape sequences understood. The console's
// code page is given back at the end, since the console outlives the tool.
class WindowsConsole {
public:
    WindowsConsole() : code_page_(GetConsoleOutputCP())
    {
        _setmode(STDOUT_FILENO, _O_BINARY);
        _setmode(STDERR_FILENO, _O_BINARY);
        SetConsoleOutputCP(CP_UTF8);
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        draws_ = GetConsoleMode(err, &mode) &&
                 SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT);
    }
    ~WindowsConsole()
    {
        if (code_page_ != 0)
            SetConsoleOutputCP(code_page_);
    }
    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;
    // Whether the console can draw the status line.
    bool Draws() const { return draws_; }

private:
    UINT code_page_;
    bool draws_ = false;
};
#endif

}  // namespace

int main(int argc, char** argv)
{
    using namespace varnox;
#ifdef _WIN32
    const WindowsConsole console;
#endif
    const CliCommandLine line = ParseCliCommandLine(argc, argv);
    if (line.action == CliCommandLine::Action::Help) {
        WriteAll(STDOUT_FILENO, CliUsageText(kProgram));
        return 0;
    }
    if (line.action == CliCommandLine::Action::Version) {
        WriteAll(STDOUT_FILENO, VersionText(kProgram));
        return 0;
    }
    if (line.action == CliCommandLine::Action::UsageError) {
        WriteAll(STDERR_FILENO, std::string(kProgram) + ": " + line.error + "\n\n" + CliUsageText(kProgram));
        return kExitUsage;
    }
    if (line.action == CliCommandLine::Action::ListPorts) {
        WriteAll(STDOUT_FILENO, PortTable(ListPorts()));
        return 0;
    }
    if (line.action == CliCommandLine::Action::History) {
        const HistoryAnswer history = HistoryOf(line.history_file);
        WriteAll(STDOUT_FILENO, history.Out);
        WriteAll(STDERR_FILENO, history.Err);
        return history.ExitStatus;
    }
    if (line.action == CliCommandLine::Action::Report) {
        const ReportAnswer report = WriteRunReport(line.history_file, line.report_run, line.report_file);
        WriteAll(STDOUT_FILENO, report.Out);
        WriteAll(STDERR_FILENO, report.Err);
        return report.ExitStatus;
    }

#ifdef _WIN32
    const bool show_status = console.Draws() && ::isatty(STDERR_FILENO) != 0;
#else
    // A log reader that goes away must not end an update half way.
    ::signal(SIGPIPE, SIG_IGN);
    const bool show_status = ::isatty(STDERR_FILENO) == 1;
#endif
    // Before any thread starts (the Linux source blocks the signals it takes).
    const std::unique_ptr<StopEventSource> stops = SystemStopEvents();

    // A device path is COM1 and needs no search for the machine's ports.
    const bool path_given = !line.device_path.empty();
    ProgramSetup setup(path_given ? std::vector<PortOverride>{{1, line.device_path}} : std::vector<PortOverride>{},
                       path_given ? PortNumbering::OverridesOnly : PortNumbering::System);
    if (std::string error; !setup.Start(line.run, error)) {
        WriteAll(STDERR_FILENO, std::string(kProgram) + ": " + error + "\n\n" + CliUsageText(kProgram));
        return kExitUsage;
    }
    // The run goes on without its trace; one line at the end says so.
    const auto warn_of_trace = [&setup] {
        if (const std::string failure = setup.TraceFailure(); !failure.empty())
            WriteAll(STDERR_FILENO, std::string(kProgram) + ": " + failure + "\n");
    };
    ConsoleWindow window(STDOUT_FILENO, STDERR_FILENO, show_status, setup.Time());
    UpdateEngine engine(setup.Opener(), setup.Time(), window);
    setup.Prepare(engine);
    engine.SelectedPort.store(path_given ? 1 : line.port_number);
    engine.ProgramName = kProgram;
    engine.PortName = line.device_path;
    engine.RecordProblem = [&window](const std::string& text) { window.Notice({text}); };
    if (line.action == CliCommandLine::Action::Identify) {
        Identification found;
        try {
            found = engine.Identify();
        } catch (const std::exception& error) {
            // The identity read writes nothing: the panel is as it was.
            std::string what = error.what();
            std::replace(what.begin(), what.end(), '\n', ' ');
            window.Notice({"Internal error: the identification stopped: " + what});
            window.Finish();
            return kExitPanelUnchanged;
        }
        window.Finish();
        warn_of_trace();
        WriteAll(STDOUT_FILENO, IdentificationText(found));
        return IdentificationStatus(found);
    }

    // A stop also cuts the engine's pauses short.
    const int status =
        RunGuardedUpdate(EngineWork(engine, [&setup] { setup.Time().Interrupt(); }), setup.Time(), window, *stops);
    window.Finish();
    warn_of_trace();
    if (const std::string warning = setup.LastWarning(); !warning.empty())
        WriteAll(STDERR_FILENO, warning + "\n");
    return status;
}
