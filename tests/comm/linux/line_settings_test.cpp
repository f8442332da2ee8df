// The portable line description mapped onto the termios.

#include <gtest/gtest.h>
#include <termios.h>

#include "comm/linux/line_settings_linux.h"
#include "comm/serial_port.h"

namespace varnox {
namespace {

// A device left in a cooked, odd state by some earlier program.
struct termios CookedDevice()
{
    struct termios t {};
    t.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP | IGNPAR | PARMRK | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ICANON | ISIG | IEXTEN | ECHOE;
    t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    t.c_cc[VSTART] = 0x11;
    cfsetspeed(&t, B9600);
    return t;
}

struct termios PanelLineOn(struct termios device, const LineDescription& line = kPanelLine)
{
    ApplyLine(line, device);
    return device;
}

TEST(LineSettingsTest, PanelLineGivesARawEvenParityLine)
{
    const struct termios t = PanelLineOn(CookedDevice());
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(cfgetispeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB));
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    // Bytes with parity errors pass unchanged and nothing is translated.
    EXPECT_EQ(t.c_iflag, 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN | ECHOE), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);  // the other characters keep the device's values
}

TEST(LineSettingsTest, WhatTermiosCannotExpressKeepsTheDevicesValue)
{
    const struct termios device = CookedDevice();
    LineDescription line = kPanelLine;
    line.bits_per_second = 14400;
    line.data_bits = 4;
    const struct termios t = PanelLineOn(device, line);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, device.c_cflag & CSIZE);
}

TEST(LineSettingsTest, RatesParityDataBitsAndStopBits)
{
    const struct {
        uint32_t rate;
        speed_t speed;
    } rates[] = {{110, B110}, {1200, B1200}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {115200, B115200}};
    for (const auto& row : rates) {
        LineDescription line = kPanelLine;
        line.bits_per_second = row.rate;
        const struct termios t = PanelLineOn(CookedDevice(), line);
        EXPECT_EQ(cfgetospeed(&t), row.speed) << row.rate;
    }
    const tcflag_t parity[5] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
    for (uint8_t index = 0; index < 5; ++index) {
        LineDescription line = kPanelLine;
        line.parity = static_cast<Parity>(index);
        EXPECT_EQ(PanelLineOn(CookedDevice(), line).c_cflag & (PARENB | PARODD | CMSPAR), parity[index])
            << "parity " << int(index);
    }
    const tcflag_t size[4] = {CS5, CS6, CS7, CS8};
    for (uint8_t bits = 5; bits <= 8; ++bits) {
        LineDescription line = kPanelLine;
        line.data_bits = bits;
        EXPECT_EQ(PanelLineOn(CookedDevice(), line).c_cflag & CSIZE, size[bits - 5]) << "data bits " << int(bits);
    }
    const tcflag_t stop[3] = {0, CSTOPB, CSTOPB};
    for (uint8_t index = 0; index < 3; ++index) {
        LineDescription line = kPanelLine;
        line.stop_bits = static_cast<StopBits>(index);
        EXPECT_EQ(PanelLineOn(CookedDevice(), line).c_cflag & CSTOPB, stop[index]) << "stop bits " << int(index);
    }
}

TEST(LineSettingsTest, ReadBackAcceptsOnlyWhatAPseudoTerminalDrops)
{
    const struct termios wanted = PanelLineOn(CookedDevice());
    EXPECT_TRUE(LineSettingsMatch(wanted, wanted, false));

    struct termios no_parity = wanted;  // what a pseudo-terminal reads back
    no_parity.c_cflag &= ~PARENB;
    EXPECT_TRUE(LineSettingsMatch(wanted, no_parity, true));
    EXPECT_FALSE(LineSettingsMatch(wanted, no_parity, false));

    struct termios slower = wanted;
    cfsetspeed(&slower, B19200);
    EXPECT_FALSE(LineSettingsMatch(wanted, slower, true));

    struct termios echoing = wanted;
    echoing.c_lflag |= ECHO;
    EXPECT_FALSE(LineSettingsMatch(wanted, echoing, true));

    struct termios flow = wanted;
    flow.c_cflag |= CRTSCTS;
    EXPECT_FALSE(LineSettingsMatch(wanted, flow, true));

    struct termios vmin = wanted;
    vmin.c_cc[VMIN] = 0;
    EXPECT_FALSE(LineSettingsMatch(wanted, vmin, true));
}

}  // namespace
}  // namespace varnox
