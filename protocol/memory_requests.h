#pragma once
// The four requests of the panel's service protocol: read and write of the
// panel's memory and of its EEPROM. Each is one request frame and one reply
// frame, with fixed waits. Every request returns true when it failed and then
// leaves the reason in LinkErrorText.

#include <cstdint>
#include <string>

#include "comm/shared_port.h"
#include "core/clock.h"
#include "protocol/packet_buffer.h"

namespace varnox {

enum RequestCode : uint8_t {
    kReadMemory = 1,
    kWriteMemory = 2,
    kReadEeprom = 3,
    kWriteEeprom = 4,
};

// Why the last request failed. The texts are shown to the user verbatim.
enum class LinkFailure { None, NoAnswer, BadData, BadChecksum };

inline constexpr const char* kNoAnswerText = "Errore Lettura da centrale : No Answer";
inline constexpr const char* kBadDataText = "Errore Lettura da centrale : BAD DATA       ";
inline constexpr const char* kBadChecksumText = "Errore Lettura da centrale : BAD CKSUM";

const char* LinkFailureText(LinkFailure failure);

// The selector value of WriteMemory that sends a WriteEeprom request.
inline constexpr uint8_t kSelectEeprom = 1;

class MemoryRequests {
public:
    MemoryRequests(SharedPort& port, Clock& clock) : port_(port), clock_(clock) {}

    bool ReadMemory(uint16_t address, uint8_t* destination, uint8_t count);
    bool ReadEeprom(uint16_t address, uint8_t* destination, uint8_t count);
    // One routine for both writes: selector 1 sends WriteEeprom, anything else WriteMemory.
    bool WriteMemory(uint16_t address, const uint8_t* data, uint8_t count, uint8_t selector);
    bool WriteEeprom(uint16_t address, const uint8_t* data, uint8_t count)
    {
        return WriteMemory(address, data, count, kSelectEeprom);
    }

    TPacketBuffer PacketBuffer;
    std::string LinkErrorText;
    LinkFailure LastFailure = LinkFailure::None;  // the kind behind LinkErrorText

private:
    bool Read(uint8_t code, uint16_t address, uint8_t* destination, uint8_t count);
    bool Fail(LinkFailure failure, bool close_port);

    SharedPort& port_;
    Clock& clock_;
};

}  // namespace varnox
