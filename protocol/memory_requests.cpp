#include "protocol/memory_requests.h"

#include <algorithm>
#include <cstring>

#include "comm/comm.h"
#include "protocol/cobs.h"
#include "protocol/crc8.h"

namespace varnox {
namespace {

// Reads and drops `count` waiting bytes; stops early if the port delivers nothing.
void DiscardInput(TComm& comm, int count)
{
    uint8_t scratch[256];
    while (count > 0) {
        const auto chunk = static_cast<uint16_t>(std::min(count, static_cast<int>(sizeof scratch)));
        const long got = ReadComm(comm, scratch, chunk);
        if (got <= 0)
            return;
        count -= static_cast<int>(got);
    }
}

}  // namespace

const char* LinkFailureText(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None: return "";
    case LinkFailure::NoAnswer: return kNoAnswerText;
    case LinkFailure::BadData: return kBadDataText;
    case LinkFailure::BadChecksum: return kBadChecksumText;
    case LinkFailure::CountTooLarge: return kCountTooLargeText;
    }
    return "";
}

bool MemoryRequests::ReadMemory(uint16_t address, uint8_t* destination, uint8_t count)
{
    return Read(kReadMemory, address, destination, count);
}

bool MemoryRequests::ReadEeprom(uint16_t address, uint8_t* destination, uint8_t count)
{
    return Read(kReadEeprom, address, destination, count);
}

bool MemoryRequests::Read(uint8_t code, uint16_t address, uint8_t* destination, uint8_t count)
{
    if (count > kMaxRequestCount)
        return Fail(LinkFailure::CountTooLarge);

    BuildHeader(code, address, count);
    PacketBuffer.Length = 5;
    CobsEncode(PacketBuffer);
    SendFrame();

    // The panel answers a read within this pause; there is a single look.
    clock_.Pause(kReadReplyPauseMs);
    const int threshold = ReadReplyThreshold(count);
    const int waiting = LookWaiting();
    if (waiting < threshold)
        return Fail(LinkFailure::NoAnswer);
    if (const LinkFailure failure = TakeReply(waiting, threshold); failure != LinkFailure::None)
        return Fail(failure);

    // The reply's last byte is the CRC of all bytes before it. A longer reply
    // is not refused for its length: the check byte is looked for where a
    // reply of `count` data bytes has it. A shorter one cannot hold the data,
    // and its check would be compared with a byte the reply does not have
    // (the zeros the decoder leaves behind), so it fails the check.
    if (PacketBuffer.Length < ReadReplyThreshold(count))
        return Fail(LinkFailure::BadChecksum);
    const auto checked = static_cast<uint8_t>(PacketBuffer.Length - 1);
    if (Crc8(PacketBuffer, 0, checked) != PacketBuffer.Bytes[count + 5])
        return Fail(LinkFailure::BadChecksum);

    if (count > 0)
        std::memcpy(destination, &PacketBuffer.Bytes[5], count);
    return false;
}

bool MemoryRequests::WriteMemory(uint16_t address, const uint8_t* data, uint8_t count,
                                 uint8_t selector)
{
    if (count > kMaxRequestCount)
        return Fail(LinkFailure::CountTooLarge);

    BuildHeader(selector == kSelectEeprom ? kWriteEeprom : kWriteMemory, address, count);
    if (count > 0)
        std::memcpy(&PacketBuffer.Bytes[5], data, count);
    PacketBuffer.Bytes[count + 5] = Crc8(PacketBuffer, 5, count);
    PacketBuffer.Length = static_cast<uint8_t>(count + 6);
    CobsEncode(PacketBuffer);
    SendFrame();

    // The panel needs a moment to store the data; the acknowledgement is looked
    // for three times, and all three looks are taken even when it is already there.
    clock_.Pause(kAckFirstLookMs);
    int waiting = LookWaiting();
    if (waiting < kAckThreshold)
        clock_.Pause(kAckSecondLookMs);
    waiting = LookWaiting();
    if (waiting < kAckThreshold)
        clock_.Pause(kAckThirdLookMs);
    waiting = LookWaiting();
    if (waiting < kAckThreshold) {
        clock_.Pause(kAckTailMs);
        clock_.Pause(kAckLateTailMs);
    }
    // Whatever arrived during the tail is not looked at: the third look decides.
    if (waiting < kAckThreshold)
        return Fail(LinkFailure::NoAnswer);
    if (const LinkFailure failure = TakeReply(waiting, kAckThreshold); failure != LinkFailure::None)
        return Fail(failure);

    // The acknowledgement is four bytes and their CRC; a shorter one has no
    // check byte of its own.
    if (PacketBuffer.Length < kAckPacketLength)
        return Fail(LinkFailure::BadChecksum);
    const auto checked = static_cast<uint8_t>(PacketBuffer.Length - 1);
    if (Crc8(PacketBuffer, 0, checked) != PacketBuffer.Bytes[4])
        return Fail(LinkFailure::BadChecksum);
    return false;
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
    // Before the first open there is no port at all; the request then fails
    // for want of an answer, like one on a closed port.
    TComm* comm = port_.CurrentComm;
    if (comm == nullptr)
        return;
    // Stale input would be taken for the start of the reply.
    FlushInput(*comm, clock_);
    WriteComm(*comm, PacketBuffer.Bytes, PacketBuffer.Length);
}

int MemoryRequests::LookWaiting()
{
    TComm* comm = port_.CurrentComm;
    if (comm == nullptr)
        return 0;
    return std::max<int32_t>(0, BytesWaiting(*comm));
}

LinkFailure MemoryRequests::TakeReply(int waiting, int threshold)
{
    // Only reached with bytes waiting, hence with an open port.
    TComm& comm = *port_.CurrentComm;

    // No reply to these requests comes near 255 bytes; more cannot be one frame.
    if (waiting > static_cast<int>(kMaxFrameLength)) {
        DiscardInput(comm, waiting);
        return LinkFailure::BadData;
    }

    // Judge what the read delivered, not what was announced.
    const long got = std::min<long>(ReadComm(comm, PacketBuffer.Bytes, static_cast<uint16_t>(waiting)),
                                    waiting);
    if (got < threshold)
        return LinkFailure::NoAnswer;
    PacketBuffer.Length = static_cast<uint8_t>(got);
    if (CobsDecode(PacketBuffer))
        return LinkFailure::BadData;
    return LinkFailure::None;
}

bool MemoryRequests::Fail(LinkFailure failure)
{
    LastFailure = failure;
    LinkErrorText = LinkFailureText(failure);
    // Nothing was sent for a request that cannot be framed, so the port stays
    // as it was. Every failed exchange closes it: the caller re-opens it before
    // trying again, and leftover bytes of a broken reply go with it.
    if (failure != LinkFailure::CountTooLarge)
        port_.CloseDefaultPort();
    return true;
}

}  // namespace varnox
