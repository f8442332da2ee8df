#pragma once
// The four requests of the panel's service protocol: read and write of the
// panel's memory and of its EEPROM. Each is one request frame and one reply
// frame, with fixed waits (or, paced fast, waits that end with the reply; see
// reply_pacing.h). Every request returns how it ended and leaves the
// port as it found it: closing it after a failed exchange is the caller's call.

#include <cstdint>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "protocol/link_result.h"
#include "protocol/packet_buffer.h"
#include "protocol/reply_pacing.h"

namespace varnox {

enum RequestCode : uint8_t {
    kReadMemory = 1,
    kWriteMemory = 2,
    kReadEeprom = 3,
    kWriteEeprom = 4,
};

// A write request and a read reply carry count + 6 packet bytes, which must fit
// a 255-byte frame.
inline constexpr uint8_t kMaxRequestCount = 247;

// The selector value of WriteMemory that sends a WriteEeprom request.
inline constexpr uint8_t kSelectEeprom = 1;

// Waits of an exchange, in milliseconds.
inline constexpr int kReadReplyPauseMs = 250;
inline constexpr int kAckFirstLookMs = 150;
inline constexpr int kAckSecondLookMs = 20;
inline constexpr int kAckThirdLookMs = 40;
inline constexpr int kAckTailMs = 100;
inline constexpr int kAckLateTailMs = 1000;

// Bytes that must be waiting for a reply to be read: two fewer than the whole
// frame (count + 8 for a read reply, 7 for a write acknowledgement).
inline constexpr int ReadReplyThreshold(uint8_t count)
{
    return count + 6;
}
inline constexpr int kAckThreshold = 6;
// Whole reply frames: a read reply and the 7-byte acknowledgement.
inline constexpr int ReadReplyFrameLength(uint8_t count)
{
    return count + 8;
}
inline constexpr int kAckFrameLength = 7;
// The acknowledgement packet: four bytes and their CRC.
inline constexpr int kAckPacketLength = 5;

class MemoryRequests {
public:
    // `port` is the record every request talks through; a closed one fails
    // each request for want of an answer.
    MemoryRequests(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}
    MemoryRequests(const MemoryRequests&) = delete;
    MemoryRequests& operator=(const MemoryRequests&) = delete;

    // On success the `count` data bytes of the reply are in `destination`;
    // on failure `destination` is left as it was.
    LinkResult ReadMemory(uint16_t address, uint8_t* destination, uint8_t count);
    LinkResult ReadEeprom(uint16_t address, uint8_t* destination, uint8_t count);
    // One routine for both writes: selector 1 sends WriteEeprom, anything else WriteMemory.
    LinkResult WriteMemory(uint16_t address, const uint8_t* data, uint8_t count, uint8_t selector);
    LinkResult WriteEeprom(uint16_t address, const uint8_t* data, uint8_t count)
    {
        return WriteMemory(address, data, count, kSelectEeprom);
    }

    TPacketBuffer PacketBuffer;
    // When replies are looked at; Fixed unless the run asks for fast mode.
    ReplyPacing Pacing = ReplyPacing::Fixed;

private:
    LinkResult Read(uint8_t code, uint16_t address, uint8_t* destination, uint8_t count);
    void BuildHeader(uint8_t code, uint16_t address, uint8_t count);
    void SendFrame();
    // Takes the `waiting` bytes as the reply frame and unstuffs it into PacketBuffer.
    LinkResult TakeReply(int waiting, int threshold);
    // The exchange's failure with what the port knows of it.
    LinkResult Failed(LinkFailure failure);

    SerialPort& port_;
    // The send (then the read) of the exchange under way that failed, if one did.
    CommResult port_call_;
    Clock& clock_;
};

}  // namespace varnox
