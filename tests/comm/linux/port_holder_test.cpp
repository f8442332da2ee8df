// Naming a port's likely holder from a fake /proc and fake lock folders.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "comm/linux/port_holder.h"

namespace varnox::testing {
namespace {

namespace fs = std::filesystem;

class PortHolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("varnox-holder-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "proc");
        fs::create_directories(root / "lock");
        sources.Proc = (root / "proc").string();
        sources.LockFolders = {(root / "lock").string()};
    }
    void TearDown() override { fs::remove_all(root); }

    void Process(int pid, const std::string& name)
    {
        fs::create_directories(root / "proc" / std::to_string(pid) / "fd");
        std::ofstream(root / "proc" / std::to_string(pid) / "comm") << name << "\n";
    }
    void Write(const fs::path& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }

    fs::path root;
    HolderSources sources;
};

TEST_F(PortHolderTest, ALiveLockOwnerIsNamedAStaleOneIsNot)
{
    Process(4021, "minicom");
    const std::string lock = (root / "lock" / "LCK..ttyUSB0").string();
    Write(lock, "      4021\n");
    EXPECT_EQ(LikelyHolder("/dev/ttyUSB0", sources), "locked by minicom (process 4021) through " + lock);
    Write(lock, "      4022\n");
    EXPECT_EQ(LikelyHolder("/dev/ttyUSB0", sources), "");
}

TEST_F(PortHolderTest, AProcessWithTheDeviceOpenIsNamed)
{
    Process(812, "ModemManager");
    Process(813, "bash");
    fs::create_symlink("/dev/pts/3", root / "proc" / "813" / "fd" / "0");
    fs::create_symlink("/dev/ttyACM0", root / "proc" / "812" / "fd" / "7");
    EXPECT_EQ(LikelyHolder("/dev/ttyACM0", sources), "likely held by ModemManager (process 812)");
    EXPECT_EQ(LikelyHolder("/dev/ttyACM1", sources), "");
}

TEST_F(PortHolderTest, LockFilesInBothFormats)
{
    const fs::path lock = root / "lock" / "LCK..ttyS0";
    Write(lock, "  77\n");
    EXPECT_EQ(LockFilePid(lock.string()), 77);
    const int binary = 4242;
    Write(lock, std::string(reinterpret_cast<const char*>(&binary), sizeof binary));
    EXPECT_EQ(LockFilePid(lock.string()), 4242);
    Write(lock, "garbage");
    EXPECT_EQ(LockFilePid(lock.string()), 0);
    EXPECT_EQ(LockFilePid((root / "none").string()), 0);
}

}  // namespace
}  // namespace varnox::testing
