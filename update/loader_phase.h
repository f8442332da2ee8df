#pragma once
// The loader phase: handshake, microKernel, erase wait, program flash, end
// packet and restart wait. The phase owns the loader code its microKernel
// packets carry; each packet is built where it is sent.

#include <array>
#include <cstdint>
#include <string>

#include "protocol/loader_packets.h"
#include "update/loader_sequence.h"
#include "update/run_ending.h"
#include "update/step_result.h"

namespace varnox {

class UpdateRun;

class LoaderPhase {
public:
    explicit LoaderPhase(UpdateRun& run);

    // The whole phase: HandshakeFailed, MicroKernelFailed, FlashFailed,
    // Completed or Interrupted; the port stays open.
    UpdateEnding Run();

    StepResult BootHandshake();
    StepResult DownloadMicroKernel();
    StepResult WriteFlash();

private:
    // One packet, up to kPacketAttempts attempts; an adapter that dropped out
    // is waited for between them. `what` names the packet for the log of failures.
    StepResult SendPacket(const LoaderPacket& packet, const std::string& what);
    // The plain box of a packet that was not taken, unless the user stopped the run.
    void ShowPacketFailure(const char* text);

    UpdateRun& run_;
    // The loader code from kMicroKernelStart, zero past the image's end.
    std::array<uint8_t, kMicroKernelCopied + 1> code_{};
};

}  // namespace varnox
