#pragma once
// Reads a fuzzer's input as a stream of small decisions. An exhausted input
// keeps answering zeros, so every decision has a defined value and a short
// input simply means "the plain case" for everything not spelled out.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnox::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return offset_ >= size_; }
    std::size_t Remaining() const { return size_ - offset_; }

    uint8_t Byte() { return Empty() ? 0 : data_[offset_++]; }
    uint16_t Word()
    {
        const uint8_t high = Byte();
        return static_cast<uint16_t>(high << 8 | Byte());
    }
    bool Flag() { return (Byte() & 1) != 0; }
    // A value in 0..limit-1 (limit at most 256).
    unsigned Below(unsigned limit) { return limit == 0 ? 0 : Byte() % limit; }

    std::vector<uint8_t> Bytes(std::size_t count)
    {
        std::vector<uint8_t> out;
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            out.push_back(Byte());
        return out;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

}  // namespace varnox::fuzz
