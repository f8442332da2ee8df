#include <cstdint>
#include <string>

#include "comm/comm.h"

namespace varnox {

namespace {

struct CommErrorRow {
    uint16_t flags;
    const char* text;
};

// Chosen by the exact flag value; a combination of flags is a general error.
constexpr CommErrorRow kCommErrorTexts[] = {
    {0x0001, "Receive Queue overflow "},
    {0x0002, "Receive Overrun Error "},
    {0x0004, "Receive Parity Error "},
    {0x0008, "Receive Framing error "},
    {0x0010, "Break Detected "},
    {0x0100, "TX Queue is full "},
    {0x0200, "LPTx Timeout "},
    {0x0400, "LPTx I/O Error "},
    {0x0800, "LPTx Device not selected "},
    {0x1000, "LPTx Out-Of-Paper "},
    {0x8000, "Requested mode unsupported "},
};

}  // namespace

std::string OpenErrorText(int32_t /*code*/)
{
    // The platform reports every failed open with the same code.
    return kOpenFailedText;
}

std::string CommErrorText(TComm& comm)
{
    const uint32_t flags = comm.Handle >= 0 && comm.Device ? comm.Device->TakeErrorFlags() : 0;
    const auto low = static_cast<uint16_t>(flags & 0xFFFF);
    for (const CommErrorRow& row : kCommErrorTexts) {
        if (row.flags == low)
            return row.text;
    }
    return "General error " + std::to_string(low);
}

}  // namespace varnox
