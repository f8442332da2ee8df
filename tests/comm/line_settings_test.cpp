// The record's line-setting indexes mapped onto the termios.

#include <gtest/gtest.h>
#include <termios.h>

#include <cstring>

#include "comm/comm.h"
#include "comm/line_settings_linux.h"

namespace varnox {
namespace {

// A device left in a cooked, odd state by some earlier program.
struct termios CookedDevice()
{
    struct termios t{};
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

TComm PanelRecordOn(const struct termios& device)
{
    TComm comm;
    InitPanelLineSettings(comm, 1);
    comm.Dcb = device;
    return comm;
}

TEST(LineSettingsTest, PanelSettingsGiveARawEvenParityLine)
{
    TComm comm = PanelRecordOn(CookedDevice());
    ApplyLineSettings(comm);
    const struct termios& t = comm.Dcb;
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

TEST(LineSettingsTest, IndexesOutOfRangeKeepTheDevicesValue)
{
    const struct termios device = CookedDevice();
    TComm comm = PanelRecordOn(device);
    comm.BaudIndex = 13;
    comm.ParityIndex = 5;
    comm.ByteSizeIndex = 5;
    comm.StopBitsIndex = 3;
    ApplyLineSettings(comm);
    EXPECT_EQ(cfgetospeed(&comm.Dcb), B9600);
    EXPECT_EQ(comm.Dcb.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB),
              device.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB));
}

TEST(LineSettingsTest, BaudTable)
{
    // Rates that termios cannot name keep the device's rate (B9600 here).
    const speed_t expected[13] = {B110,  B300,   B600,  B1200, B2400, B4800, B9600,
                                  B9600, B19200, B38400, B9600, B9600, B9600};
    for (uint8_t index = 0; index < 13; ++index) {
        TComm comm = PanelRecordOn(CookedDevice());
        comm.BaudIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(cfgetospeed(&comm.Dcb), expected[index]) << "index " << int(index);
    }
}

TEST(LineSettingsTest, ParityByteSizeAndStopBitTables)
{
    const tcflag_t parity[5] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
    for (uint8_t index = 0; index < 5; ++index) {
        TComm comm = PanelRecordOn(CookedDevice());
        comm.ParityIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.c_cflag & (PARENB | PARODD | CMSPAR), parity[index]) << "parity " << int(index);
    }
    // Index 0 asks for 4 data bits, which no termios can give: the device keeps CS7.
    const tcflag_t size[5] = {CS7, CS5, CS6, CS7, CS8};
    for (uint8_t index = 0; index < 5; ++index) {
        TComm comm = PanelRecordOn(CookedDevice());
        comm.ByteSizeIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.c_cflag & CSIZE, size[index]) << "byte size " << int(index);
    }
    const tcflag_t stop[3] = {0, CSTOPB, CSTOPB};
    for (uint8_t index = 0; index < 3; ++index) {
        TComm comm = PanelRecordOn(CookedDevice());
        comm.StopBitsIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.c_cflag & CSTOPB, stop[index]) << "stop bits " << int(index);
    }
}

TEST(LineSettingsTest, FlowIndexChangesNothing)
{
    TComm none = PanelRecordOn(CookedDevice());
    ApplyLineSettings(none);
    for (uint8_t flow : {1, 2}) {
        TComm comm = PanelRecordOn(CookedDevice());
        comm.FlowIndex = flow;
        ApplyLineSettings(comm);
        EXPECT_EQ(std::memcmp(&comm.Dcb, &none.Dcb, sizeof none.Dcb), 0) << "flow " << int(flow);
    }
}

TEST(LineSettingsTest, ReadBackAcceptsOnlyWhatAPseudoTerminalDrops)
{
    TComm comm = PanelRecordOn(CookedDevice());
    ApplyLineSettings(comm);
    const struct termios wanted = comm.Dcb;
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
