// A USB adapter found again under another name after a dropout, from a fake
// sysfs tree, and re-opened through the real backend on pseudo-terminals.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "comm/linux/adapter_identity.h"
#include "comm/linux/serial_linux.h"
#include "comm/serial_port.h"
#include "tests/support/pty_pair.h"

namespace varnox::testing {
namespace {

namespace fs = std::filesystem;

class AdapterIdentityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("varnox-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "class" / "tty");
        fs::create_directories(root / "dev");
        sources = {(root / "class" / "tty").string(), (root / "dev").string()};
    }
    void TearDown() override { fs::remove_all(root); }

    // A tty `name` under the USB device `usb` (e.g. "1-1.2") with these descriptors.
    void Adapter(const std::string& name, const std::string& usb, const std::string& serial)
    {
        const fs::path device = root / "devices" / "usb1" / usb;
        const fs::path port = device / (usb + ":1.0") / name;
        fs::create_directories(port);
        std::ofstream(device / "idVendor") << "0403\n";
        std::ofstream(device / "idProduct") << "6001\n";
        if (!serial.empty())
            std::ofstream(device / "serial") << serial << "\n";
        fs::create_directories(root / "class" / "tty" / name);
        fs::create_symlink(port, root / "class" / "tty" / name / "device");
    }
    void Unplug(const std::string& name) { fs::remove_all(root / "class" / "tty" / name); }
    std::string Dev(const std::string& name) { return (root / "dev" / name).string(); }

    fs::path root;
    TtySources sources;
};

TEST_F(AdapterIdentityTest, SerialOrUsbPortNamesTheAdapter)
{
    Adapter("ttyUSB0", "1-1.2", "A50285BI");
    Adapter("ttyUSB1", "1-1.3", "");
    fs::create_directories(root / "class" / "tty" / "ttyS0");
    EXPECT_EQ(AdapterIdentity(Dev("ttyUSB0"), sources), "usb:0403:6001:A50285BI");
    EXPECT_EQ(AdapterIdentity(Dev("ttyUSB1"), sources), "usb-port:1-1.3");
    EXPECT_EQ(AdapterIdentity(Dev("ttyS0"), sources), "");
    EXPECT_EQ(FindAdapter("usb-port:1-1.3", sources), Dev("ttyUSB1"));
    EXPECT_EQ(FindAdapter("usb:0403:6001:OTHER", sources), "");
    EXPECT_EQ(FindAdapter("", sources), "");
}

TEST_F(AdapterIdentityTest, AByIdLinkLeadsToItsTty)
{
    Adapter("ttyUSB0", "1-1.2", "A50285BI");
    fs::create_directories(root / "by-id");
    const fs::path link = root / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0";
    fs::create_symlink(Dev("ttyUSB0"), link);
    std::ofstream(Dev("ttyUSB0")) << "";
    EXPECT_EQ(AdapterIdentity(link.string(), sources), "usb:0403:6001:A50285BI");
}

TEST_F(AdapterIdentityTest, TheOpenerFollowsTheAdapterToItsNewName)
{
    PtyPair first;
    PtyPair second;
    Adapter("ttyUSB0", "1-1.2", "A50285BI");
    fs::create_symlink(first.SlavePath(), Dev("ttyUSB0"));
    PortMap map;
    map.Map(1, Dev("ttyUSB0"));
    PosixPortOpener opener(map, sources);
    SerialPort port{1};
    ASSERT_TRUE(port.Open(opener).ok());

    // Unplugged; another adapter comes in under the old name: not opened.
    port.Release();
    Unplug("ttyUSB0");
    fs::remove_all(root / "devices");
    Adapter("ttyUSB0", "1-1.4", "B0000000");
    const CommResult stranger = port.Open(opener);
    EXPECT_EQ(stranger.kind, CommFailure::OpenRefused);
    EXPECT_EQ(opener.LastRefusal(), OpenRefusal::Missing);
    EXPECT_EQ(stranger.system.rfind("another adapter on " + Dev("ttyUSB0") +
                                        ": usb:0403:6001:B0000000, not usb:0403:6001:A50285BI; ports here: ",
                                    0),
              0u)
        << stranger.system;

    // Back as ttyUSB1, beside the stranger.
    Adapter("ttyUSB1", "1-1.2", "A50285BI");
    fs::create_symlink(second.SlavePath(), Dev("ttyUSB1"));
    const CommResult reopened = port.Open(opener);
    ASSERT_TRUE(reopened.ok()) << reopened.system;
    EXPECT_EQ(opener.DeviceName(1), Dev("ttyUSB1"));
    const uint8_t byte = 0x5A;
    ASSERT_TRUE(port.Send(&byte, 1).ok());
    EXPECT_EQ(second.Read(1, 1000), std::vector<uint8_t>{0x5A});

    // Another adapter is not taken for it under a new name either.
    port.Release();
    Unplug("ttyUSB1");
    fs::remove(Dev("ttyUSB1"));
    EXPECT_EQ(port.Open(opener).kind, CommFailure::OpenRefused);
    EXPECT_EQ(opener.LastRefusal(), OpenRefusal::Missing);
}

}  // namespace
}  // namespace varnox::testing
