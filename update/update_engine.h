#pragma once
// The update: what the window's one button does, from opening the port to the
// panel's restart. It owns the shared state of an update (the port record, the
// packet buffer, the working image, the block buffer) and shows everything
// through WindowOps only, so it runs the same under the window, the console
// tool and the tests.

#include <atomic>
#include <cstdint>
#include <string>

#include "comm/shared_port.h"
#include "core/clock.h"
#include "core/window_ops.h"
#include "firmware/catalogue.h"
#include "protocol/memory_requests.h"

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
};

class UpdateEngine {
public:
    UpdateEngine(PortOpener& opener, Clock& clock, WindowOps& window);
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Runs one whole update. Returns at once (ending Refused) when another
    // run is under way, whatever thread calls it.
    UpdateEnding Button5Click();
    bool Running() const { return running_.load(); }

    // EEPROM phase; each true = failed.
    bool NormalizeEepromWord();
    bool WriteAddress15();
    bool DownloadEeprom();

    // Bootloader and flash phase.
    void RunBootloaderPhase();
    bool BootHandshake();
    bool DownloadMicroKernel();
    bool WriteFlash();

    // Common end: gauge hidden, port closed, one pass of the message pump.
    void FinishUpdate();

    std::atomic<int> SelectedPort{1};
    SharedPort Port;
    MemoryRequests Requests;
    WorkingImage Image;
    uint8_t BlockBuffer[2048] = {};
    UpdateEnding LastEnding = UpdateEnding::NotRun;

private:
    UpdateEnding RunUpdate();

    Clock& clock_;
    WindowOps& window_;
    std::atomic<bool> running_{false};
};

}  // namespace varnox
