// libFuzzer target for the frame codec. The first input byte is the length
// byte, the rest fills the 256 bytes. Checks that CobsCheck changes nothing,
// that CobsDecode fails exactly on rejected frames and then leaves the buffer
// as it was, and that the rest of the input, taken as a packet of at most 253
// bytes, survives encoding and decoding. The buffer sits alone on the heap, so
// the sanitizer reports any access beyond its 256 bytes.
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//       tests/fuzz/fuzz_cobs.cpp protocol/cobs.cpp -o fuzz_cobs

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "protocol/cobs.h"

namespace {

using varnox::TPacketBuffer;

bool Same(const TPacketBuffer& a, const TPacketBuffer& b)
{
    return a.Length == b.Length && std::memcmp(a.Bytes, b.Bytes, sizeof a.Bytes) == 0;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckDecode(const uint8_t* data, std::size_t size)
{
    auto buffer = std::make_unique<TPacketBuffer>();
    buffer->Length = data[0];
    std::copy(data + 1, data + 1 + std::min<std::size_t>(size - 1, sizeof buffer->Bytes), buffer->Bytes);
    const TPacketBuffer before = *buffer;

    const bool valid = varnox::CobsCheck(*buffer);
    Require(Same(*buffer, before));

    const bool failed = varnox::CobsDecode(*buffer);
    Require(failed != valid);
    if (failed)
        Require(Same(*buffer, before));
    else
        Require(buffer->Length == before.Length - 2);
}

void CheckRoundTrip(const uint8_t* data, std::size_t size)
{
    const std::size_t length = std::min<std::size_t>(size - 1, varnox::kMaxPacketLength);
    auto buffer = std::make_unique<TPacketBuffer>();
    std::copy(data + 1, data + 1 + length, buffer->Bytes);
    buffer->Length = static_cast<uint8_t>(length);

    varnox::CobsEncode(*buffer);
    Require(buffer->Length == length + 2);
    for (std::size_t i = 0; i + 1 < buffer->Length; ++i)
        Require(buffer->Bytes[i] != 0);
    Require(buffer->Bytes[buffer->Length - 1] == 0);

    Require(!varnox::CobsDecode(*buffer));
    Require(buffer->Length == length);
    Require(std::equal(data + 1, data + 1 + length, buffer->Bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    CheckDecode(data, size);
    CheckRoundTrip(data, size);
    return 0;
}
