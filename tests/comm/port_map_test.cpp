// Port numbers to device paths: discovery from a fake sysfs tree, explicit
// mappings, port names.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "comm/port_map.h"

namespace varnox {
namespace {

namespace fs = std::filesystem;

class FakeSysfs {
public:
    FakeSysfs()
    {
        char pattern[] = "/tmp/varnox-sysfs-XXXXXX";
        root_ = ::mkdtemp(pattern);
        fs::create_directories(root_ / "class" / "tty");
    }
    ~FakeSysfs()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path ClassTty() const { return root_ / "class" / "tty"; }

    // An entry as sysfs has them: a link to the device's directory.
    void Add(const std::string& name, const char* uart_type = nullptr)
    {
        const fs::path device = root_ / "devices" / name;
        fs::create_directories(device);
        if (uart_type)
            std::ofstream(device / "type") << uart_type << "\n";
        fs::create_directory_symlink(device, ClassTty() / name);
    }

private:
    fs::path root_;
};

TEST(PortMapTest, DiscoversAdaptersFirstThenRealOnBoardPorts)
{
    FakeSysfs sysfs;
    for (const char* name :
         {"tty", "tty0", "tty12", "console", "ptmx", "ttyprintk", "ttyUSBx", "ttyUSB10", "ttyUSB2", "ttyACM0"})
        sysfs.Add(name);
    sysfs.Add("ttyS0", "4");
    sysfs.Add("ttyS1", "0");  // one of the phantom UARTs
    sysfs.Add("ttyS2");       // no type attribute: not a UART we can trust
    sysfs.Add("ttyS10", "4");
    sysfs.Add("ttyS3", "0");

    const PortMap map = PortMap::Discover(sysfs.ClassTty().string());
    EXPECT_EQ(map.PathOf(1), "/dev/ttyUSB2");
    EXPECT_EQ(map.PathOf(2), "/dev/ttyUSB10");
    EXPECT_EQ(map.PathOf(3), "/dev/ttyACM0");
    EXPECT_EQ(map.PathOf(4), "/dev/ttyS0");
    EXPECT_EQ(map.PathOf(5), "/dev/ttyS10");
    EXPECT_EQ(map.PathOf(6), "");
    EXPECT_EQ(map.PathOf(0), "");
}

TEST(PortMapTest, NoSysfsMeansNoPorts)
{
    const PortMap map = PortMap::Discover("/nonexistent/varnox/class/tty");
    EXPECT_EQ(map.PathOf(1), "");
}

TEST(PortMapTest, ExplicitMappingsOverrideDiscovery)
{
    FakeSysfs sysfs;
    sysfs.Add("ttyUSB0");
    sysfs.Add("ttyUSB1");
    PortMap map = PortMap::Discover(sysfs.ClassTty().string());
    map.Map(1, "/dev/pts/7");
    map.Map(8, "/dev/pts/9");
    EXPECT_EQ(map.PathOf(1), "/dev/pts/7");
    EXPECT_EQ(map.PathOf(2), "/dev/ttyUSB1");
    EXPECT_EQ(map.PathOf(8), "/dev/pts/9");
}

TEST(PortMapTest, ParsePortName)
{
    const struct {
        const char* name;
        int port;
    } rows[] = {
        {"COM3", 3}, {"com3", 3},   {"Com12", 12}, {"COM3:", 3}, {"COM256", 256}, {"COM1", 1},
        {"COM0", 0}, {"COM257", 0}, {"COM", 0},    {"COM:", 0},  {"COMx", 0},     {"COM3a", 0},
        {"3", 0},    {"", 0},       {"LPT1", 0},   {" COM3", 0}, {"COM-1", 0},    {"COM99999", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PortMap::ParsePortName(row.name), row.port) << '"' << row.name << '"';
}

}  // namespace
}  // namespace varnox
