#include "protocol/memory_requests.h"

#include <algorithm>
#include <cstring>

#include "protocol/cobs.h"
#include "protocol/crc8.h"

namespace varnox {
namespace {

// A read is looked at once; a write's acknowledgement up to three times.
constexpr int kReadLooks[] = {kReadReplyPauseMs};
constexpr int kAckLooks[] = {kAckFirstLookMs, kAckSecondLookMs, kAckThirdLookMs};

// Reads and drops `count` waiting bytes; stops early if the port delivers nothing.
void DropBytes(SerialPort& port, int count)
{
    uint8_t scratch[256];
    while (count > 0) {
        const auto chunk = static_cast<std::size_t>(std::min(count, static_cast<int>(sizeof scratch)));
        const std::size_t got = port.Receive(scratch, chunk).count;
        if (got == 0)
            return;
        count -= static_cast<int>(got);
    }
}

}  // namespace

LinkResult MemoryRequests::ReadMemory(uint16_t address, uint8_t* destination, uint8_t count)
{
    return Read(kReadMemory, address, destination, count);
}

LinkResult MemoryRequests::ReadEeprom(uint16_t address, uint8_t* destination, uint8_t count)
{
    return Read(kReadEeprom, address, destination, count);
}

LinkResult MemoryRequests::Read(uint8_t code, uint16_t address, uint8_t* destination, uint8_t count)
{
    if (count > kMaxRequestCount)
        return LinkResult::Failed(LinkFailure::CountTooLarge);

    BuildHeader(code, address, count);
    PacketBuffer.Length = 5;
    CobsEncode(PacketBuffer);
    SendFrame();

    // The panel answers a read within this pause; there is a single look.
    const int threshold = ReadReplyThreshold(count);
    const int waiting = AwaitReply(Pacing, port_, clock_, {kReadLooks, threshold, ReadReplyFrameLength(count)});
    if (waiting < threshold)
        return Failed(LinkFailure::NoAnswer);
    if (const LinkResult reply = TakeReply(waiting, threshold); reply.failed())
        return reply;

    // The reply's last byte is the CRC of all bytes before it. A longer reply
    // is not refused for its length: the check byte is looked for where a
    // reply of `count` data bytes has it. A shorter one cannot hold the data,
    // and its check would be compared with a byte the reply does not have
    // (the zeros the decoder leaves behind), so it fails the check.
    if (PacketBuffer.Length < ReadReplyThreshold(count))
        return Failed(LinkFailure::BadChecksum);
    const auto checked = static_cast<uint8_t>(PacketBuffer.Length - 1);
    if (Crc8(PacketBuffer, 0, checked) != PacketBuffer.Bytes[count + 5])
        return Failed(LinkFailure::BadChecksum);

    if (count > 0)
        std::memcpy(destination, &PacketBuffer.Bytes[5], count);
    return {};
}

LinkResult MemoryRequests::WriteMemory(uint16_t address, const uint8_t* data, uint8_t count, uint8_t selector)
{
    if (count > kMaxRequestCount)
        return LinkResult::Failed(LinkFailure::CountTooLarge);

    BuildHeader(selector == kSelectEeprom ? kWriteEeprom : kWriteMemory, address, count);
    if (count > 0)
        std::memcpy(&PacketBuffer.Bytes[5], data, count);
    PacketBuffer.Bytes[count + 5] = Crc8(PacketBuffer, 5, count);
    PacketBuffer.Length = static_cast<uint8_t>(count + 6);
    CobsEncode(PacketBuffer);
    SendFrame();

    // The panel needs a moment to store the data; the acknowledgement is looked
    // for three times, and all three looks are taken even when it is already there.
    const int waiting = AwaitReply(Pacing, port_, clock_, {kAckLooks, kAckThreshold, kAckFrameLength});
    if (waiting < kAckThreshold) {
        clock_.Pause(kAckTailMs);
        clock_.Pause(kAckLateTailMs);
    }
    // Whatever arrived during the tail is not looked at: the third look decides.
    if (waiting < kAckThreshold)
        return Failed(LinkFailure::NoAnswer);
    if (const LinkResult reply = TakeReply(waiting, kAckThreshold); reply.failed())
        return reply;

    // The acknowledgement is four bytes and their CRC; a shorter one has no
    // check byte of its own.
    if (PacketBuffer.Length < kAckPacketLength)
        return Failed(LinkFailure::BadChecksum);
    const auto checked = static_cast<uint8_t>(PacketBuffer.Length - 1);
    if (Crc8(PacketBuffer, 0, checked) != PacketBuffer.Bytes[4])
        return Failed(LinkFailure::BadChecksum);
    return {};
}

void MemoryRequests::BuildHeader(uint8_t code, uint16_t address, uint8_t count)
{
    PacketBuffer.Bytes[0] = code;
    PacketBuffer.Bytes[1] = count;
    PacketBuffer.Bytes[2] = static_cast<uint8_t>(address >> 8);
    PacketBuffer.Bytes[3] = static_cast<uint8_t>(address & 0xFF);
    PacketBuffer.Bytes[4] = Crc8(PacketBuffer, 0, 4);
}

void MemoryRequests::SendFrame()
{
    // Stale input would be taken for the start of the reply. A closed port
    // sends nothing, and the request fails for want of an answer.
    port_.DiscardInput(clock_);
    // A failed send is not the end: whatever the reply wait finds decides,
    // and the failure says why.
    port_call_ = port_.Send(PacketBuffer.Bytes, PacketBuffer.Length);
}

LinkResult MemoryRequests::Failed(LinkFailure failure)
{
    LinkResult result = LinkResult::Failed(failure, port_call_);
    result.line_errors = port_.TakeLineErrors();
    result.gone = port_.NeedsReopen();
    return result;
}

LinkResult MemoryRequests::TakeReply(int waiting, int threshold)
{
    // No reply to these requests comes near 255 bytes; more cannot be one frame.
    if (waiting > static_cast<int>(kMaxFrameLength)) {
        DropBytes(port_, waiting);
        return Failed(LinkFailure::BadData);
    }

    // Judge what the read delivered, not what was announced.
    const Received received = port_.Receive(PacketBuffer.Bytes, static_cast<std::size_t>(waiting));
    if (received.result.failed() && port_call_.ok())
        port_call_ = received.result;
    const long got = std::min<long>(static_cast<long>(received.count), waiting);
    if (got < threshold)
        return Failed(LinkFailure::NoAnswer);
    PacketBuffer.Length = static_cast<uint8_t>(got);
    if (const LinkResult decoded = CobsDecode(PacketBuffer); decoded.failed())
        return Failed(decoded.failure);
    return {};
}

}  // namespace varnox
