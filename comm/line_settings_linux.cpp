#include "comm/line_settings_linux.h"

#include <termios.h>

#include <iterator>

#include "comm/comm.h"

namespace varnox {

namespace {

struct BaudRow {
    uint32_t rate;
    speed_t speed;  // B0 where termios has no constant for the rate
};

// One row per BaudIndex. 14400, 56000, 128000 and 256000 have no termios
// constant; for them the device keeps its rate, as for an index beyond the
// table. The panel's line only ever uses 38400.
constexpr BaudRow kBaudTable[] = {
    {110, B110},   {300, B300},     {600, B600},   {1200, B1200},   {2400, B2400},
    {4800, B4800}, {9600, B9600},   {14400, B0},   {19200, B19200}, {38400, B38400},
    {56000, B0},   {128000, B0},    {256000, B0},
};
static_assert(sizeof kBaudTable / sizeof kBaudTable[0] == sizeof kBaudRates / sizeof kBaudRates[0]);

// One row per ParityIndex: none, odd, even, mark, space.
constexpr tcflag_t kParityBits[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
constexpr tcflag_t kParityMask = PARENB | PARODD | CMSPAR;

// One row per ByteSizeIndex: 4..8 data bits. No UART termios knows 4 bits,
// so that index keeps the device's size.
constexpr tcflag_t kNoByteSize = ~tcflag_t{0};
constexpr tcflag_t kByteSizeBits[] = {kNoByteSize, CS5, CS6, CS7, CS8};

// One row per StopBitsIndex: 1, 1.5, 2. UARTs send 1.5 stop bits when asked
// for two with 5 data bits; termios has only the one flag for both.
constexpr tcflag_t kStopBits[] = {0, CSTOPB, CSTOPB};

// What "raw transfer, no flow control" means to the termios: every byte
// passes untranslated, a byte with a parity or framing error is delivered as
// it came (INPCK off; the driver still counts the error), no software or
// hardware flow control, no echo, no signals.
constexpr tcflag_t kInputOff = IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                               ICRNL | IUCLC | IXON | IXANY | IXOFF | IMAXBEL | IUTF8;
constexpr tcflag_t kLocalOff = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT |
                               ECHOKE | IEXTEN | TOSTOP | XCASE;
// The bits of c_cflag that we set and expect to read back.
constexpr tcflag_t kControlChecked = CSIZE | CSTOPB | kParityMask | CRTSCTS | CLOCAL | CREAD;

}  // namespace

void ApplyLineSettings(TComm& comm)
{
    struct termios& t = comm.Dcb;

    t.c_iflag &= ~kInputOff;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~kLocalOff;
    t.c_cflag &= ~CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    // One byte is enough to wake a reader; a larger VMIN would keep poll from
    // reporting single bytes, and VMIN 0 makes "nothing yet" look like a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    if (comm.BaudIndex < std::size(kBaudTable) && kBaudTable[comm.BaudIndex].speed != B0)
        cfsetspeed(&t, kBaudTable[comm.BaudIndex].speed);
    if (comm.ParityIndex < std::size(kParityBits))
        t.c_cflag = (t.c_cflag & ~kParityMask) | kParityBits[comm.ParityIndex];
    if (comm.ByteSizeIndex < std::size(kByteSizeBits) && kByteSizeBits[comm.ByteSizeIndex] != kNoByteSize)
        t.c_cflag = (t.c_cflag & ~CSIZE) | kByteSizeBits[comm.ByteSizeIndex];
    if (comm.StopBitsIndex < std::size(kStopBits))
        t.c_cflag = (t.c_cflag & ~CSTOPB) | kStopBits[comm.StopBitsIndex];
}

bool LineSettingsMatch(const PlatformLineSettings& wanted, const PlatformLineSettings& actual,
                       bool pseudo_terminal)
{
    tcflag_t checked = kControlChecked;
    if (pseudo_terminal)
        checked &= ~(CSIZE | kParityMask);
    const speed_t out = cfgetospeed(&actual);
    // An input speed of 0 means "the same as the output speed".
    const speed_t in = cfgetispeed(&actual) == B0 ? out : cfgetispeed(&actual);
    const speed_t wanted_in = cfgetispeed(&wanted) == B0 ? cfgetospeed(&wanted) : cfgetispeed(&wanted);
    return actual.c_iflag == wanted.c_iflag && actual.c_oflag == wanted.c_oflag &&
           actual.c_lflag == wanted.c_lflag && (actual.c_cflag & checked) == (wanted.c_cflag & checked) &&
           out == cfgetospeed(&wanted) && in == wanted_in && actual.c_cc[VMIN] == wanted.c_cc[VMIN] &&
           actual.c_cc[VTIME] == wanted.c_cc[VTIME];
}

}  // namespace varnox
