// Ports found without opening any: a fake sysfs and /dev tree on Linux, and the
// Windows device ids read into USB id and serial.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "comm/port_list.h"
#ifndef _WIN32
#include "comm/linux/serial_linux.h"
#endif

namespace varnox::testing {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
class PortListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("varnox-ports-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "class" / "tty");
        fs::create_directories(root / "dev" / "serial" / "by-id");
        sources = {(root / "class" / "tty").string(), (root / "dev").string()};
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text << "\n"; }

    // A tty `name` whose device sits under `parent` and is bound to `driver`.
    fs::path Tty(const std::string& name, const fs::path& parent, const std::string& driver)
    {
        const fs::path device = parent / name;
        fs::create_directories(device);
        fs::create_directories(root / "drivers" / driver);
        fs::create_symlink(root / "drivers" / driver, device / "driver");
        fs::create_directories(root / "class" / "tty" / name);
        fs::create_symlink(device, root / "class" / "tty" / name / "device");
        return device;
    }
    // A USB device `usb` with these descriptors; returns its interface folder.
    fs::path Usb(const std::string& usb, const std::string& maker, const std::string& product,
                 const std::string& serial)
    {
        const fs::path device = root / "devices" / "usb1" / usb;
        fs::create_directories(device / (usb + ":1.0"));
        Write(device / "idVendor", "0403");
        Write(device / "idProduct", "6001");
        Write(device / "manufacturer", maker);
        Write(device / "product", product);
        if (!serial.empty())
            Write(device / "serial", serial);
        return device / (usb + ":1.0");
    }

    fs::path root;
    TtySources sources;
};

TEST_F(PortListTest, AdaptersFirstWithTheirDescriptorsAndByIdLinks)
{
    Tty("ttyS0", root / "devices" / "platform" / "serial8250", "serial8250");
    Write(root / "class" / "tty" / "ttyS0" / "type", "4");
    Tty("ttyS1", root / "devices" / "platform" / "serial8250", "serial8250");
    Write(root / "class" / "tty" / "ttyS1" / "type", "0");  // a phantom UART
    Tty("ttyUSB0", Usb("1-1.2", "FTDI", "FT232R USB UART", "A50285BI"), "ftdi_sio");
    // A crafted descriptor that would clear the screen.
    Tty("ttyACM0", Usb("1-1.3", "Arduino", "U\x1b[2J", ""), "cdc_acm");
    fs::create_symlink("../../ttyUSB0", root / "dev" / "serial" / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0");

    const std::vector<PortInfo> ports = ListPorts(sources);
    ASSERT_EQ(ports.size(), 3u);
    const std::string dev = (root / "dev").string();
    EXPECT_EQ(ports[0].Number, 1);
    EXPECT_EQ(ports[0].Device, dev + "/ttyUSB0");
    EXPECT_EQ(ports[0].Driver, "ftdi_sio");
    EXPECT_EQ(ports[0].UsbId, "0403:6001");
    EXPECT_EQ(ports[0].Maker, "FTDI");
    EXPECT_EQ(ports[0].Product, "FT232R USB UART");
    EXPECT_EQ(ports[0].Serial, "A50285BI");
    EXPECT_EQ(ports[0].ById, dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    EXPECT_EQ(ports[1].Device, dev + "/ttyACM0");
    EXPECT_EQ(ports[1].Driver, "cdc_acm");
    EXPECT_EQ(ports[1].Serial, "");
    EXPECT_EQ(ports[1].ById, "");
    EXPECT_EQ(ports[2].Number, 3);
    EXPECT_EQ(ports[2].Device, dev + "/ttyS0");
    EXPECT_EQ(ports[2].Driver, "serial8250");
    EXPECT_EQ(ports[2].UsbId, "");

    EXPECT_EQ(PortsHere(ports), "ports here: COM1 " + dev + "/ttyUSB0 (FTDI FT232R USB UART A50285BI), COM2 " +
                                    dev + "/ttyACM0 (Arduino U\\x1B[2J), COM3 " + dev + "/ttyS0");
    EXPECT_EQ(MapOf(ports).PathOf(2), dev + "/ttyACM0");
    const std::string table = PortTable(ports);
    EXPECT_EQ(table.substr(0, table.find('\n')),
              "PORT  DEVICE" + std::string(dev.size() + 10 - 6, ' ') +
                  "DRIVER      USB ID     MAKER    PRODUCT          SERIAL    BY-ID");
    EXPECT_NE(
        table.find("\nCOM3  " + dev + "/ttyS0    serial8250  -          -        -                -         -\n"),
        std::string::npos)
        << table;
    EXPECT_NE(table.find("  Arduino  U\\x1B[2J  "), std::string::npos) << table;
}

TEST(PortOpenerLearn, ListedPortsAreMappedAndPinnedOnesKept)
{
    PosixPortOpener opener{PortMap{}};
    opener.Pin(1, "/dev/pts/7");
    PortInfo first;
    first.Number = 1;
    first.Device = "/dev/ttyUSB0";
    PortInfo ninth;
    ninth.Number = 9;
    ninth.Device = "/dev/ttyUSB8";
    opener.Learn({first, ninth, PortInfo{}});
    EXPECT_EQ(opener.DeviceName(1), "/dev/pts/7");
    EXPECT_EQ(opener.DeviceName(9), "/dev/ttyUSB8");
    EXPECT_EQ(opener.DeviceName(0), "");
}

TEST_F(PortListTest, NoPortsAtAll)
{
    fs::remove_all(root / "dev");
    EXPECT_TRUE(ListPorts(sources).empty());
    EXPECT_EQ(PortsHere({}), "no serial port here");
    EXPECT_EQ(PortTable({}),
              "PORT  DEVICE  DRIVER  USB ID  MAKER  PRODUCT  SERIAL  BY-ID\n(no serial port found)\n");
}
#endif

TEST(WindowsDeviceIds, UsbIdSerialAndProduct)
{
    EXPECT_EQ(UsbIdOfHardwareId("USB\\VID_0403&PID_6001&REV_0600"), "0403:6001");
    EXPECT_EQ(UsbIdOfHardwareId("FTDIBUS\\COMPORT&VID_0403&PID_6015"), "0403:6015");
    EXPECT_EQ(UsbIdOfHardwareId("usb\\vid_1A86&pid_7523"), "1a86:7523");
    EXPECT_EQ(UsbIdOfHardwareId("ACPI\\PNP0501"), "");
    EXPECT_EQ(UsbIdOfHardwareId("USB\\VID_04"), "");

    EXPECT_EQ(SerialOfInstanceId("USB\\VID_0403&PID_6001\\A50285BI"), "A50285BI");
    EXPECT_EQ(SerialOfInstanceId("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"), "A50285BI");
    // Made up by Windows for a device without a serial: names no adapter.
    EXPECT_EQ(SerialOfInstanceId("USB\\VID_1A86&PID_7523\\5&2A3C1B2&0&2"), "");
    EXPECT_EQ(SerialOfInstanceId("ACPI\\PNP0501\\1"), "");
    EXPECT_EQ(SerialOfInstanceId(""), "");

    EXPECT_EQ(ProductOfFriendlyName("USB Serial Port (COM12)"), "USB Serial Port");
    EXPECT_EQ(ProductOfFriendlyName("Communications Port"), "Communications Port");
}

}  // namespace
}  // namespace varnox::testing
