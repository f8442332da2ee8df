// libFuzzer target for the frame codec. The first input byte is the length
// byte, the rest fills the 256 bytes. CobsCheck and CobsDecode are compared
// with a plain reading of the frame rules (reference_frames.h): the verdict,
// the decoded packet, the zeros the decoder leaves, and that a rejected frame
// leaves the buffer as it was. The rest of the input, taken as a packet of up
// to 253 bytes, must survive encoding and decoding; a longer one is refused.
// Each buffer sits alone on the heap, so the sanitizer reports any access
// beyond its 256 bytes.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "protocol/cobs.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/reference_frames.h"

namespace {

using varnox::TPacketBuffer;
using varnox::fuzz::Expect;

bool Same(const TPacketBuffer& a, const TPacketBuffer& b)
{
    return a.Length == b.Length && std::memcmp(a.Bytes, b.Bytes, sizeof a.Bytes) == 0;
}

void CheckDecode(const uint8_t* data, std::size_t size)
{
    auto buffer = std::make_unique<TPacketBuffer>();
    buffer->Length = data[0];
    std::copy(data + 1, data + 1 + std::min<std::size_t>(size - 1, sizeof buffer->Bytes), buffer->Bytes);
    const TPacketBuffer before = *buffer;
    const std::vector<uint8_t> frame(before.Bytes, before.Bytes + before.Length);
    const auto reference = varnox::fuzz::ReferenceUnframe(frame);

    const bool valid = varnox::CobsCheck(*buffer);
    Expect(Same(*buffer, before), "CobsCheck changed the buffer");
    Expect(valid == reference.has_value(), "CobsCheck says " + std::to_string(valid) + " for a frame of " +
                                               std::to_string(before.Length) + " bytes");

    const varnox::LinkResult decoded = varnox::CobsDecode(*buffer);
    const bool failed = decoded.failed();
    Expect(failed == !valid, "CobsDecode disagrees with CobsCheck");
    Expect(!failed || decoded.failure == varnox::LinkFailure::BadData, "a rejected frame is not BadData");
    if (failed) {
        Expect(Same(*buffer, before), "a rejected frame changed the buffer");
        return;
    }
    const unsigned n = before.Length;
    Expect(buffer->Length == n - 2, "decoded length is not the frame length minus 2");
    Expect(std::equal(reference->begin(), reference->end(), buffer->Bytes), "decoded packet differs");
    Expect(buffer->Bytes[n - 2] == 0 && buffer->Bytes[n - 1] == 0, "decoder left no zeros after the packet");
    Expect(std::memcmp(buffer->Bytes + n, before.Bytes + n, sizeof before.Bytes - n) == 0,
           "decoder touched bytes past the frame");
}

// A packet too long for a frame is refused whole, never half encoded.
void CheckTooLong(const uint8_t* data, std::size_t size)
{
    auto buffer = std::make_unique<TPacketBuffer>();
    buffer->Length = static_cast<uint8_t>(varnox::kMaxPacketLength + 1 + data[0] % 2);
    std::copy(data + 1, data + 1 + std::min<std::size_t>(size - 1, sizeof buffer->Bytes), buffer->Bytes);
    const TPacketBuffer before = *buffer;
    varnox::CobsEncode(*buffer);
    Expect(Same(*buffer, before), "a packet too long for a frame was changed");
}

void CheckRoundTrip(const uint8_t* data, std::size_t size)
{
    const std::size_t length = std::min<std::size_t>(size - 1, varnox::kMaxPacketLength);
    auto buffer = std::make_unique<TPacketBuffer>();
    std::copy(data + 1, data + 1 + length, buffer->Bytes);
    buffer->Length = static_cast<uint8_t>(length);

    varnox::CobsEncode(*buffer);
    const std::vector<uint8_t> packet(data + 1, data + 1 + length);
    const std::vector<uint8_t> frame = varnox::fuzz::ReferenceFrame(packet);
    Expect(buffer->Length == frame.size() && std::equal(frame.begin(), frame.end(), buffer->Bytes),
           "encoded frame differs from standard COBS");

    Expect(varnox::CobsDecode(*buffer).ok(), "an encoded frame fails to decode");
    Expect(buffer->Length == length && std::equal(packet.begin(), packet.end(), buffer->Bytes),
           "round trip changed the packet");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    CheckDecode(data, size);
    CheckRoundTrip(data, size);
    CheckTooLong(data, size);
    return 0;
}
