#pragma once
// Scripted faults of the simulated panel: what goes wrong with which reply.
// Text form on the command line: TYPE:KIND:N[:COUNT], e.g. "no-answer:write-eeprom:5:3"
// spoils the 5th, 6th and 7th WriteEeprom requests the panel receives. The
// faults of the restart apply to the end packet only; given bare (e.g.
// "silent-after-restart") they mean its first one, ":end:1".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "sim/request_kind.h"

namespace varnox {

enum class PanelFaultType : uint8_t {
    NoAnswer,            // the request is carried out, its reply never sent
    BadCrc,              // the reply frame's check byte is wrong
    BadCobs,             // the reply frame's first code byte is broken (0xFF)
    ExtraByte,           // one byte (0x55) follows the reply
    Split,               // the reply's last byte comes only after the tool's last look
    Late,                // the whole reply comes only after the tool's last look
    WrongAck,            // handshake byte 1, microKernel sum or flash sum is wrong
    DoubleAck,           // the reply is sent twice
    ShortReply,          // the reply's last byte is never sent
    Silent,              // from this request on the panel answers nothing (line stays)
    Pull,                // from this request on the adapter is gone
    PullReturn,          // the adapter goes with this request and comes back later
    StoreWrong,          // a write is acknowledged as usual but stored with one byte altered
    EarlyAck,            // an EEPROM write is acknowledged at once and stored after its acknowledgement
    SilentAfterRestart,  // the panel restarts after the end packet, then answers nothing
    OldIdentity,         // after the restart the identity block is the one before the update
};

struct PanelFault {
    PanelFaultType Type = PanelFaultType::NoAnswer;
    RequestKind Kind = RequestKind::ReadMemory;
    unsigned First = 1;  // 1-based ordinal among the requests of Kind
    unsigned Count = 1;  // how many consecutive ones; Silent, Pull and SilentAfterRestart last for ever

    // Whether this fault spoils the `ordinal`-th request of `kind`.
    bool Applies(RequestKind kind, unsigned ordinal) const;
};

// Parses the text form. On failure returns nullopt with the reason in `error`.
std::optional<PanelFault> ParsePanelFault(std::string_view text, std::string& error);
std::string PanelFaultText(const PanelFault& fault);
const char* PanelFaultTypeName(PanelFaultType type);

// Two lines per fault type, its effect and the kinds it applies to, each
// indented by `indent`: for --help and the README.
std::string PanelFaultHelp(std::size_t indent = 2);

}  // namespace varnox
