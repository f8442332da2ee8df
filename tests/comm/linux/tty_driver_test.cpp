// The driver behind a tty, from a sysfs tree built in a temporary folder.

#include "comm/linux/tty_driver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace varnox {
namespace {

namespace fs = std::filesystem;

class TtyDriverTest : public ::testing::Test {
protected:
    fs::path root = fs::temp_directory_path() / ("varnox-tty-driver-" + std::to_string(::getpid()));
    TtySources sources{(root / "sys/class/tty").string(), (root / "dev").string()};

    void SetUp() override
    {
        fs::remove_all(root);
        fs::create_directories(root / "dev");
        fs::create_directories(root / "sys/bus/usb-serial/drivers/ch341-uart");
        fs::create_directories(root / "sys/bus/usb-serial/drivers/ftdi_sio");
    }
    void TearDown() override { fs::remove_all(root); }

    // /dev/NAME, and its tty in sysfs bound to `driver` (none when empty).
    std::string Tty(const std::string& name, const std::string& driver)
    {
        std::ofstream(root / "dev" / name).put('\n');
        const fs::path device = root / "sys/devices/usb1/1-1" / name;
        fs::create_directories(device);
        if (!driver.empty())
            fs::create_directory_symlink(root / "sys/bus/usb-serial/drivers" / driver, device / "driver");
        fs::create_directories(root / "sys/class/tty" / name);
        fs::create_directory_symlink(device, root / "sys/class/tty" / name / "device");
        return (root / "dev" / name).string();
    }
};

TEST_F(TtyDriverTest, OnlyTheCh341DriverGetsTheParityWarning)
{
    const std::string ch341 = Tty("ttyUSB0", "ch341-uart");
    const std::string ftdi = Tty("ttyUSB1", "ftdi_sio");
    const std::string bare = Tty("ttyS0", "");

    EXPECT_EQ(TtyDriver(ch341, sources), "ch341-uart");
    EXPECT_EQ(LineSettingsWarning(ch341, sources),
              ch341 + ": a CH340/CH341 adapter (driver ch341): old CH340 chips may ignore the parity setting");
    EXPECT_EQ(TtyDriver(ftdi, sources), "ftdi_sio");
    EXPECT_EQ(LineSettingsWarning(ftdi, sources), "");
    EXPECT_EQ(TtyDriver(bare, sources), "");
    EXPECT_EQ(LineSettingsWarning((root / "dev/ttyUSB9").string(), sources), "");
}

// A by-id link names the tty it leads to.
TEST_F(TtyDriverTest, ALinkCountsAsTheTtyItLeadsTo)
{
    const std::string ch341 = Tty("ttyUSB0", "ch341-uart");
    const fs::path link = root / "dev/usb-1a86_USB_Serial-if00-port0";
    fs::create_symlink(ch341, link);
    EXPECT_EQ(TtyDriver(link.string(), sources), "ch341-uart");
}

}  // namespace
}  // namespace varnox
