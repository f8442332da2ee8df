#include "comm/linux/line_settings_linux.h"

#include <termios.h>

#include <iterator>

namespace varnox {

namespace {

struct BaudRow {
    uint32_t rate;
    speed_t speed;
};

// The rates termios has constants for; any other rate keeps the device's.
// The panel's line only ever uses 38400.
constexpr BaudRow kBaudTable[] = {
    {110, B110},   {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

// One row per Parity: none, odd, even, mark, space.
constexpr tcflag_t kParityBits[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
constexpr tcflag_t kParityMask = PARENB | PARODD | CMSPAR;

// One row per data bit count 5..8; no UART termios knows 4 bits.
constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};

// One row per StopBits: 1, 1.5, 2. UARTs send 1.5 stop bits when asked for
// two with 5 data bits; termios has only the one flag for both.
constexpr tcflag_t kStopBits[] = {0, CSTOPB, CSTOPB};

// What "raw transfer, no flow control" means to the termios: every byte
// passes untranslated, a byte with a parity or framing error is delivered as
// it came (INPCK off; the driver still counts the error), no software or
// hardware flow control, no echo, no signals.
constexpr tcflag_t kInputOff = IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                               IXON | IXANY | IXOFF | IMAXBEL | IUTF8;
constexpr tcflag_t kLocalOff =
    ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | IEXTEN | TOSTOP | XCASE;
// The bits of c_cflag that we set and expect to read back.
constexpr tcflag_t kControlChecked = CSIZE | CSTOPB | kParityMask | CRTSCTS | CLOCAL | CREAD;

}  // namespace

void ApplyLine(const LineDescription& line, struct termios& t)
{
    t.c_iflag &= ~kInputOff;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~kLocalOff;
    t.c_cflag &= ~CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    // One byte is enough to wake a reader; a larger VMIN would keep poll from
    // reporting single bytes, and VMIN 0 makes "nothing yet" look like a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    for (const BaudRow& row : kBaudTable) {
        if (row.rate == line.bits_per_second)
            cfsetspeed(&t, row.speed);
    }
    if (const auto parity = static_cast<std::size_t>(line.parity); parity < std::size(kParityBits))
        t.c_cflag = (t.c_cflag & ~kParityMask) | kParityBits[parity];
    if (line.data_bits >= 5 && line.data_bits <= 8)
        t.c_cflag = (t.c_cflag & ~CSIZE) | kDataBits[line.data_bits - 5];
    if (const auto stop = static_cast<std::size_t>(line.stop_bits); stop < std::size(kStopBits))
        t.c_cflag = (t.c_cflag & ~CSTOPB) | kStopBits[stop];
}

bool LineSettingsMatch(const struct termios& wanted, const struct termios& actual, bool pseudo_terminal)
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
