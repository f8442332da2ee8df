#include "comm/line_settings_win32.h"

#include <cstddef>
#include <cstring>
#include <iterator>

#include "comm/comm.h"

namespace varnox {

namespace {

// The bit fields follow BaudRate and fill exactly one DWORD before wReserved.
constexpr std::size_t kFlagWordOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == kFlagWordOffset + sizeof(DWORD));

// One row per ParityIndex: none, odd, even, mark, space.
constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
// One row per ByteSizeIndex: 4..8 data bits.
constexpr BYTE kByteSizes[] = {4, 5, 6, 7, 8};
// One row per StopBitsIndex: 1, 1.5, 2.
constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};

}  // namespace

uint32_t DcbFlagWord(const PlatformLineSettings& dcb)
{
    uint32_t flags = 0;
    std::memcpy(&flags, reinterpret_cast<const unsigned char*>(&dcb) + kFlagWordOffset, sizeof flags);
    return flags;
}

void SetDcbFlagWord(PlatformLineSettings& dcb, uint32_t flags)
{
    std::memcpy(reinterpret_cast<unsigned char*>(&dcb) + kFlagWordOffset, &flags, sizeof flags);
}

// An index beyond its table keeps the value read from the device.
void ApplyLineSettings(TComm& comm)
{
    DCB& dcb = comm.Dcb;
    SetDcbFlagWord(dcb, kDcbFlags);
    if (comm.BaudIndex < std::size(kBaudRates))
        dcb.BaudRate = kBaudRates[comm.BaudIndex];
    if (comm.ParityIndex < std::size(kParities))
        dcb.Parity = kParities[comm.ParityIndex];
    if (comm.ByteSizeIndex < std::size(kByteSizes))
        dcb.ByteSize = kByteSizes[comm.ByteSizeIndex];
    if (comm.StopBitsIndex < std::size(kStopBits))
        dcb.StopBits = kStopBits[comm.StopBitsIndex];
}

}  // namespace varnox
