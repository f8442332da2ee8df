#include "ui/core/main_window_core.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "ui/core/form_texts.h"

namespace varnox {

MainWindowCore::MainWindowCore(MainWindowView& view, PortOpener& opener, Clock& clock)
    : view_(view),
      queue_([&view] { view.WakeWindowThread(); }),
      bridge_(queue_, view, [this](bool enabled) { EngineButton(enabled); }),
      engine_(opener, clock, bridge_),
      list_ports_([] { return ListPorts(); })
{
}

MainWindowCore::~MainWindowCore()
{
    EndRun();
    queue_.Close();
}

void MainWindowCore::Start()
{
    view_.SetInfoBoxVisible(true);
    engine_.SelectedPort = 1;
    ProbePorts();
    for (const char* line : kStartupInstructions)
        view_.LogLine(line);
    view_.SetButtonText(kButtonCaption);
}

void MainWindowCore::ProbePorts()
{
    // The run owns the port; the menu is disabled then anyway.
    if (phase_ == RunPhase::Running)
        return;
    menu_ = ProbePortMenu(engine_.Opener(), list_ports_());
    for (int port = 1; port <= kMenuPorts; ++port)
        view_.EnablePortItem(port, menu_.Usable[port - 1]);
    view_.ShowPortMenu(menu_);
}

bool MainWindowCore::StartUpdate()
{
    // A second run must never start inside the first, and a button the run
    // has disabled stays dead even to a direct call.
    if (phase_ == RunPhase::Running || engine_.Running() || !engine_button_)
        return false;
    if (worker_.joinable())
        worker_.join();
    phase_ = RunPhase::Running;
    ShowRunControls();
    RunStart start;
    start.SelectorIndex = view_.SelectorIndex();
    worker_ = std::thread([this, start] {
        // An exception must not end the program with the window in its run
        // state; it is reported once the run has been wound up.
        std::string failure;
        try {
            engine_.Run(start);
        } catch (const std::exception& error) {
            failure = error.what();
        } catch (...) {
            failure = "unknown error";
        }
        // Queued behind every operation the run posted, so the window shows
        // the whole run before it counts as ended.
        queue_.Post([this, failure] { OnRunEnded(failure); });
    });
    return true;
}

void MainWindowCore::OnRunEnded(const std::string& failure)
{
    if (worker_.joinable())
        worker_.join();
    phase_ = RunPhase::Finished;
    ShowRunControls();
    if (!failure.empty())
        view_.ShowBox({BoxIcon::Error, kProgramName, kRunFailedText, failure});
    view_.RunEnded();
}

bool MainWindowCore::SelectPort(int port)
{
    // The menu is disabled during a run; this also holds for a direct call.
    const bool beyond = std::any_of(menu_.Beyond.begin(), menu_.Beyond.end(),
                                    [port](const PortMenuItem& item) { return item.Port == port; });
    if (phase_ == RunPhase::Running || port < 1 || (port > kMenuPorts && !beyond))
        return false;
    engine_.SelectedPort = port;
    return true;
}

bool MainWindowCore::MayClose()
{
    if (phase_ != RunPhase::Running)
        return true;
    view_.ShowBox({BoxIcon::Warning, kProgramName, kCloseRefusedText, {}});
    return false;
}

void MainWindowCore::EndRun()
{
    if (phase_ == RunPhase::Running) {
        engine_.RequestStop();
        // The engine needs the window's thread for its operations (and its
        // boxes) until it has stopped.
        while (phase_ == RunPhase::Running) {
            queue_.WaitForPending(std::chrono::milliseconds(10));
            queue_.Drain();
            view_.ServeEvents();
        }
    }
    if (worker_.joinable())
        worker_.join();
}

void MainWindowCore::EngineButton(bool enabled)
{
    engine_button_ = enabled;
    ShowRunControls();
}

void MainWindowCore::ShowRunControls()
{
    view_.EnableRunControls(ButtonEnabled(), phase_ != RunPhase::Running);
}

}  // namespace varnox
