#pragma once
// The update: what the window's one button does, from opening the port to the
// panel's restart. It owns the shared state of an update (the port record, the
// packet buffer, the working image, the block buffer) and shows everything
// through WindowOps only, so it runs the same under the window, the console
// tool and the tests.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/clock.h"
#include "firmware/catalogue.h"
#include "power/keep_awake.h"
#include "protocol/loader_packets.h"
#include "protocol/memory_requests.h"
#include "record/run_record.h"
#include "update/panel_port.h"
#include "update/run_options.h"
#include "update/step_result.h"
#include "update/window_ops.h"

namespace varnox {

// Title of the plain message boxes.
inline constexpr const char* kProgramName = "varnox-patch";
// A stopped run's exit status unless the front-end says another (128 + SIGINT).
inline constexpr int kStoppedExitStatus = 130;

// How the last run ended (for front-ends and tests; the window shows the same
// through its log, gauge and button).
enum class UpdateEnding {
    NotRun,
    Refused,  // a run was already under way
    IdentityReadFailed,
    ReleaseRejected,
    NoFirmware,
    StandInRefused,  // stand-in images and no --allow-stand-in
    EepromFailed,
    HandshakeFailed,
    MicroKernelFailed,
    FlashFailed,
    Completed,
    Interrupted,  // RequestStop ended the run early; the port is closed
};

// What the identity read after a completed run's restart found.
enum class Verification {
    NotRun,         // the run did not complete (or was stopped while verifying)
    Verified,       // the panel reports the written image's identity block
    NoAnswer,       // no readable answer within the verification's time
    OtherFirmware,  // the panel answers with another identity block
};

// What --identify learns without writing anything.
struct Identification {
    std::string ReadFailure;  // empty when the identity was read
    IdentityBytes Identity{};
    std::optional<std::string> Firmware;  // absent: the release is refused
    bool ImageFound = false;              // a carried image fits Firmware
    bool CanStart = false;                // an update would get past its checks
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

    // Opens the port, reads the identity and checks name, image and the
    // stand-in guard as a run does, closes the port; writes nothing.
    Identification Identify();

    // Asks the run under way (or, when none is, the next one) to end before
    // its next step, EEPROM chunk attempt or loader packet; a request already
    // on the line finishes (its pauses end early only if the front-end's clock
    // cuts them short). The common end closes the port and the ending is
    // Interrupted. Any thread. Front-ends that must leave mid-run (a console's
    // second Ctrl-C) use it so that the port is closed by the thread using it.
    // `exit_status` is what the run record gives as the run's exit status.
    void RequestStop(int exit_status = kStoppedExitStatus)
    {
        stop_exit_status_.store(exit_status);
        stop_.store(true);
    }
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
    // After a completed run's restart, on the still open port.
    Verification VerifyAfterRestart();
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
    std::atomic<Verification> LastVerification{Verification::NotRun};
    // The console tools' exit status of the last run (see update/exit_status.h).
    std::atomic<int> LastExitStatus{0};

    // Who runs the engine, for the run record.
    std::string ProgramName = kProgramName;
    // The port as the user named it, for the run record; empty: "COMn".
    std::string PortName;
    // Where a run record that cannot be written is said; unset: the log's last line.
    std::function<void(const std::string&)> RecordProblem;
    // The hold that keeps the machine awake during a run, taken on the run's
    // thread; a factory that returns nullptr takes none.
    std::function<std::unique_ptr<SleepInhibitor>()> SleepInhibitors = SystemSleepInhibitor;
    // The record the last run gathered (what was appended to the run record).
    RunRecord LastRecord;

private:
    UpdateEnding RunSteps();
    // The stand-in guard: stand-in images are written only when allowed.
    bool RefusesStandIn() const;
    void BeginRecord();
    void EndRecord(UpdateEnding ending);
    UpdateEnding Interrupt();
    // The step's result; after a failed exchange the port is flushed and
    // kept, or let go when its device is gone (PanelPort::AfterFailedExchange).
    StepResult ExchangeResult(LinkResult result);
    // Before another attempt of a chunk or packet: brings back a port whose
    // adapter went away, with a log line when it is back.
    void RestorePort();
    // One WriteEeprom of the chunk at image offset `offset`, from BlockBuffer.
    StepResult WriteEepromChunk(uint32_t offset);
    // After a failed EEPROM attempt: count and show it, and bring back a port
    // whose adapter went away when another attempt follows.
    void RetryEepromExchange(bool another_attempt);
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
    std::atomic<int> stop_exit_status_{kStoppedExitStatus};
    bool identity_read_ = false;  // the run got as far as the identity read
    double run_start_ = 0;        // clock_.Now() at the run's start
    int eeprom_retries_ = 0;      // failed EEPROM attempts of this run's download and read-back
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
};

}  // namespace varnox
