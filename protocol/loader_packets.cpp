#include "protocol/loader_packets.h"

#include <cstring>

#include "protocol/cobs.h"
#include "protocol/crc8.h"

namespace varnox {

uint8_t Sum8(const uint8_t* bytes, std::size_t count)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

TPacketBuffer HandshakeFrame()
{
    TPacketBuffer frame;
    frame.Bytes[0] = kHandshakeCommand;
    frame.Bytes[1] = 0x01;
    frame.Bytes[2] = 0x01;
    frame.Bytes[3] = 0x01;
    frame.Bytes[4] = Crc8(frame, 0, 4);
    frame.Length = 5;
    CobsEncode(frame);
    return frame;
}

LoaderPacket HandshakePacket()
{
    const TPacketBuffer frame = HandshakeFrame();
    LoaderPacket packet;
    std::memcpy(packet.Bytes.data(), frame.Bytes, frame.Length);
    packet.Length = frame.Length;
    packet.ExpectedSum = kHandshakeAccepted;
    packet.Ack = kHandshakeAck;
    return packet;
}

LoaderPacket MicroKernelPacket(uint16_t address, const uint8_t* data)
{
    LoaderPacket packet;
    packet.Ack = kKernelAck;
    packet.Bytes[0] = static_cast<uint8_t>(address >> 8);
    packet.Bytes[1] = static_cast<uint8_t>(address & 0xFF);
    std::memcpy(packet.Bytes.data() + 2, data, kKernelDataLength);
    packet.Length = kKernelPacketLength;
    packet.ExpectedSum = Sum8(packet.Bytes.data(), packet.Length);
    return packet;
}

LoaderPacket ClosingPacket(const uint8_t* data)
{
    LoaderPacket packet = MicroKernelPacket(0, data);
    packet.ExpectedSum = Sum8(data, kKernelDataLength);
    return packet;
}

LoaderPacket FlashPacket(uint32_t address, const uint8_t* data)
{
    LoaderPacket packet;
    packet.Ack = kFlashAck;
    packet.Bytes[0] = 0;
    packet.Bytes[1] = static_cast<uint8_t>(address >> 16);
    packet.Bytes[2] = static_cast<uint8_t>(address >> 8);
    packet.Bytes[3] = static_cast<uint8_t>(address);
    std::memcpy(packet.Bytes.data() + 4, data, kFlashDataLength);
    packet.Length = kFlashPacketLength;
    packet.ExpectedSum = Sum8(packet.Bytes.data(), packet.Length);
    return packet;
}

LoaderPacket EndPacket()
{
    LoaderPacket packet;
    packet.Length = kFlashPacketLength;
    return packet;
}

}  // namespace varnox
