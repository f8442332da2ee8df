#pragma once
// The update: what the window's one button does, from opening the port to the
// panel's restart. It owns the shared state of an update (the port record, the
// packet buffer, the working image, the block buffer) and shows everything
// through WindowOps only, so it runs the same under the window, the console
// tool and the tests.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/window_ops.h"
#include "firmware/catalogue.h"
#include "protocol/loader_packets.h"
#include "protocol/memory_requests.h"
#include "update/panel_port.h"
#include "update/run_options.h"
#include "update/step_result.h"

namespace varnox {

// Title of the plain message boxes.
inline constexpr const char* kProgramName = "varnox-patch";

// How the last run ended (for front-ends and tests; the window shows the same
// through its log, gauge and button).
enum class UpdateEnding {
    NotRun,
    Refused,            // a run was already under way
    IdentityReadFailed,
    ReleaseRejected,
    NoFirmware,
    EepromFailed,
    HandshakeFailed,
    MicroKernelFailed,
    FlashFailed,
    Completed,
    Interrupted,        // RequestStop ended the run early; the port is closed
};

class UpdateEngine {
public:
    UpdateEngine(PortOpener& opener, Clock& clock, WindowOps& window);
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Runs one whole update. Returns at once (ending Refused) when another
    // run is under way, whatever thread calls it, and then touches nothing.
    UpdateEnding Run();
    bool Running() const { return running_.load(); }

    // Asks the run under way (or, when none is, the next one) to end before
    // its next step, EEPROM chunk attempt or loader packet; a request already
    // on the line finishes (its pauses end early only if the front-end's clock
    // cuts them short). The common end closes the port and the ending is
    // Interrupted. Any thread. Front-ends that must leave mid-run (a console's
    // second Ctrl-C) use it so that the port is closed by the thread using it.
    void RequestStop() { stop_.store(true); }
    bool StopRequested() const { return stop_.load(); }

    // EEPROM phase.
    StepResult NormalizeEepromWord();
    StepResult WriteAddress15();
    StepResult DownloadEeprom();
    // Reads the range the download wrote back and writes differing chunks
    // again (--fast, --verify-eeprom); logs its own lines.
    StepResult VerifyEeprom();

    // Bootloader and flash phase; its ending is one of HandshakeFailed,
    // MicroKernelFailed, FlashFailed, Completed or Interrupted.
    UpdateEnding RunBootloaderPhase();
    StepResult BootHandshake();
    StepResult DownloadMicroKernel();
    StepResult WriteFlash();

    // Common end: gauge hidden, port closed, one pass of the message pump.
    void FinishUpdate();

    // The port the next run opens. A run reads it once at its start and keeps
    // that port for every re-open, so a choice made in the menu during a run
    // applies to the next run instead of switching ports mid-EEPROM.
    std::atomic<int> SelectedPort{1};
    // How runs are done (set by the front-end before the first run).
    RunOptions Options;
    PanelPort Port;
    // What turns port numbers into devices (the window's probe uses it too).
    PortOpener& Opener() { return Port.Opener(); }
    MemoryRequests Requests;
    WorkingImage Image;
    uint8_t BlockBuffer[2048] = {};
    std::atomic<UpdateEnding> LastEnding{UpdateEnding::NotRun};

private:
    UpdateEnding RunSteps();
    UpdateEnding Interrupt();
    // The step's result; a failed exchange closes the port (see the definition).
    StepResult ClosingOnFailure(LinkResult result);
    // One WriteEeprom of the chunk at image offset `offset`, from BlockBuffer.
    StepResult WriteEepromChunk(uint32_t offset);
    // After a failed EEPROM attempt: re-open the port, count and show the retry.
    void RetryEepromExchange();
    // Up to 6 attempts of `exchange`, each failed one followed by RetryEepromExchange.
    StepResult EepromAttempts(const std::function<StepResult()>& exchange);
    // One microKernel (or closing) packet, up to 4 attempts.
    StepResult ExchangeKernelPacket(const LoaderPacket& packet);
    // One flash packet, up to 4 attempts.
    StepResult ExchangeFlashPacket(const LoaderPacket& packet);
    void ShowPacketFailure(const char* text);

    Clock& clock_;
    WindowOps& window_;
    int run_port_ = 1;  // SelectedPort as it was when the run started
    int eeprom_retries_ = 0;  // failed EEPROM attempts of this run's download and read-back
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
};

}  // namespace varnox
