// varnox-patch-cli: the update of the window's one button, for benches,
// scripts and machines without a screen.

#include <signal.h>
#include <unistd.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/command_line.h"
#include "cli/console_window.h"
#include "cli/guarded_update.h"
#include "cli/history_report.h"
#include "cli/interruptible_clock.h"
#include "cli/report_command.h"
#include "cli/stop_events.h"
#include "comm/port_list.h"
#include "comm/port_map.h"
#include "trace/traced_device.h"
#include "update/identify_report.h"
#ifdef _WIN32
#include "comm/win32/serial_win32.h"
#else
#include "comm/linux/serial_linux.h"
#endif
#include "firmware/image_provenance.h"
#include "update/exit_status.h"
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
    const CommandLine line = ParseCommandLine(argc, argv);
    if (line.action == CommandLine::Action::Help) {
        WriteAll(STDOUT_FILENO, UsageText(kProgram));
        return 0;
    }
    if (line.action == CommandLine::Action::Version) {
        WriteAll(STDOUT_FILENO, VersionText(kProgram));
        return 0;
    }
    if (line.action == CommandLine::Action::UsageError) {
        WriteAll(STDERR_FILENO, std::string(kProgram) + ": " + line.error + "\n\n" + UsageText(kProgram));
        return kExitUsage;
    }
    if (line.action == CommandLine::Action::ListPorts) {
        WriteAll(STDOUT_FILENO, PortTable(ListPorts()));
        return 0;
    }
    if (line.action == CommandLine::Action::History) {
        const HistoryAnswer history = HistoryOf(line.history_file);
        WriteAll(STDOUT_FILENO, history.Out);
        WriteAll(STDERR_FILENO, history.Err);
        return history.ExitStatus;
    }
    if (line.action == CommandLine::Action::Report) {
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

    PortMap map;
    int port = 1;
    if (!line.device_path.empty()) {
        map.Map(port, line.device_path);
    } else {
#ifndef _WIN32
        map = PortMap::Discover();  // on Windows COMn is the system's own \\.\COMn
#endif
        port = line.port_number;
    }
#ifdef _WIN32
    Win32PortOpener opener(map);
#else
    PosixPortOpener opener(map);
#endif
    InterruptibleClock clock;
    PortTracing tracing(opener, clock);
    if (std::string error; !tracing.Start(line.run.TraceFile, error)) {
        WriteAll(STDERR_FILENO, std::string(kProgram) + ": --trace: " + error + "\n\n" + UsageText(kProgram));
        return kExitUsage;
    }
    ConsoleWindow window(STDOUT_FILENO, STDERR_FILENO, show_status, clock);
    UpdateEngine engine(tracing.Opener(), clock, window);
    engine.SelectedPort.store(port);
    engine.Options = line.run;
    ApplyRunEnvironment(engine.Options);
    engine.ProgramName = kProgram;
    engine.PortName = line.device_path;
    engine.RecordProblem = [&window](const std::string& text) { window.Notice({text}); };
    if (line.action == CommandLine::Action::Identify) {
        const Identification found = engine.Identify();
        window.Finish();
        WriteAll(STDOUT_FILENO, IdentificationText(found));
        return IdentificationStatus(found);
    }

    // A stop also cuts the engine's pauses short.
    const UpdateWork work{[&engine] {
                              engine.Run();
                              return engine.LastExitStatus.load();
                          },
                          [&engine, &clock](int exit_status) {
                              engine.RequestStop(exit_status);
                              clock.Interrupt();
                          }};
    const int status = RunGuardedUpdate(work, clock, window, *stops);
    window.Finish();
    if (const std::string warning = opener.LastWarning(); !warning.empty())
        WriteAll(STDERR_FILENO, warning + "\n");
    return status;
}
