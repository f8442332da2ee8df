#include "comm/win32/line_settings_win32.h"

#include <cstddef>
#include <cstring>
#include <iterator>

namespace varnox {

namespace {

// The bit fields follow BaudRate and fill exactly one DWORD before wReserved.
constexpr std::size_t kFlagWordOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == kFlagWordOffset + sizeof(DWORD));

// fBinary, fParity and fTXContinueOnXoff; DTR and RTS "disable", no flow control.
constexpr uint32_t kRawLineFlags = 0x83;
constexpr uint32_t kDtrEnable = uint32_t{DTR_CONTROL_ENABLE} << 4;
constexpr uint32_t kRtsEnable = uint32_t{RTS_CONTROL_ENABLE} << 12;

// One row per Parity: none, odd, even, mark, space.
constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
// One row per StopBits: 1, 1.5, 2.
constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};

// Flow control is off, but a driver that looks at them anyway finds the
// usual characters and limits, and no error, end or event character.
constexpr WORD kXonLimit = 2048;
constexpr WORD kXoffLimit = 512;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

}  // namespace

uint32_t DcbFlagWord(const DCB& dcb)
{
    uint32_t flags = 0;
    std::memcpy(&flags, reinterpret_cast<const unsigned char*>(&dcb) + kFlagWordOffset, sizeof flags);
    return flags;
}

void SetDcbFlagWord(DCB& dcb, uint32_t flags)
{
    std::memcpy(reinterpret_cast<unsigned char*>(&dcb) + kFlagWordOffset, &flags, sizeof flags);
}

uint32_t LineFlagWord(const LineDescription& line)
{
    return kRawLineFlags | (line.dtr ? kDtrEnable : 0) | (line.rts ? kRtsEnable : 0);
}

void ApplyLine(const LineDescription& line, DCB& dcb)
{
    SetDcbFlagWord(dcb, LineFlagWord(line));
    dcb.BaudRate = line.bits_per_second;
    dcb.XonLim = kXonLimit;
    dcb.XoffLim = kXoffLimit;
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    if (const auto parity = static_cast<std::size_t>(line.parity); parity < std::size(kParities))
        dcb.Parity = kParities[parity];
    if (line.data_bits >= 4 && line.data_bits <= 8)
        dcb.ByteSize = line.data_bits;
    if (const auto stop = static_cast<std::size_t>(line.stop_bits); stop < std::size(kStopBits))
        dcb.StopBits = kStopBits[stop];
}

}  // namespace varnox
