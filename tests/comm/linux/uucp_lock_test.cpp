// UUCP lock files on real pseudo-terminals, in a temporary lock folder.

#include "comm/linux/uucp_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "comm/linux/serial_linux.h"
#include "tests/support/pty_pair.h"

namespace varnox {
namespace {

namespace fs = std::filesystem;

std::string Content(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The id of a process that has ended.
long DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class UucpLockTest : public ::testing::Test {
protected:
    testing::PtyPair pty;
    fs::path folder = fs::temp_directory_path() / ("varnox-lock-" + std::to_string(::getpid()));
    HolderSources sources{"/proc", {(folder / "missing").string(), folder.string()}};
    fs::path lock;

    void SetUp() override
    {
        fs::remove_all(folder);
        fs::create_directories(folder);
        lock = folder / ("LCK.." + fs::path(pty.SlavePath()).filename().string());
    }
    void TearDown() override { fs::remove_all(folder); }

    std::unique_ptr<SerialDevice> Open(std::string& reason, OpenRefusal& refusal)
    {
        return OpenSerialDevice(pty.SlavePath(), reason, kWriteTimeoutSeconds, &refusal, sources);
    }
    void WriteLock(const std::string& content) { std::ofstream(lock, std::ios::binary) << content; }
};

// Taken in the first writable folder, ten digits and a newline, gone at close.
TEST_F(UucpLockTest, TheOpenTakesTheLockAndTheCloseRemovesIt)
{
    std::string reason;
    OpenRefusal refusal = OpenRefusal::Other;
    auto device = Open(reason, refusal);
    ASSERT_TRUE(device) << reason;
    EXPECT_EQ(refusal, OpenRefusal::None);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10ld\n", static_cast<long>(::getpid()));
    EXPECT_EQ(Content(lock), expected);
    EXPECT_EQ(Content(lock).size(), 11u);

    // A second open of ours leaves the lock alone and is refused by the device.
    EXPECT_FALSE(Open(reason, refusal));
    EXPECT_EQ(refusal, OpenRefusal::Busy);
    EXPECT_TRUE(fs::exists(lock));

    EXPECT_TRUE(device->Close().ok());
    EXPECT_FALSE(fs::exists(lock));
}

TEST_F(UucpLockTest, ALiveLockOfAnotherProcessMakesThePortBusy)
{
    const long other = static_cast<long>(::getppid());
    WriteLock(std::to_string(other) + "\n");
    std::string reason;
    OpenRefusal refusal = OpenRefusal::Other;
    EXPECT_FALSE(Open(reason, refusal));
    EXPECT_EQ(refusal, OpenRefusal::Busy);
    EXPECT_EQ(reason.rfind(pty.SlavePath() + ": the port is in use by another program; locked by ", 0), 0u)
        << reason;
    EXPECT_NE(reason.find("(process " + std::to_string(other) + ") through " + lock.string()), std::string::npos)
        << reason;
    EXPECT_EQ(Content(lock), std::to_string(other) + "\n");  // not ours to touch
}

TEST_F(UucpLockTest, AStaleLockIsRemovedAndTaken)
{
    for (const std::string& content : {std::to_string(DeadPid()) + "\n", std::string("garbage")}) {
        WriteLock(content);
        if (content == "garbage")  // unwritten for long enough to count as abandoned
            fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::seconds(10));
        std::string reason;
        OpenRefusal refusal = OpenRefusal::Other;
        auto device = Open(reason, refusal);
        ASSERT_TRUE(device) << content << ": " << reason;
        EXPECT_EQ(LockFilePid(lock.string()), static_cast<long>(::getpid()));
        device.reset();
        EXPECT_FALSE(fs::exists(lock));
    }
}

// A lock just created by another program that has not written its id yet.
TEST_F(UucpLockTest, AFreshLockWithoutItsIdIsRespected)
{
    WriteLock("");
    std::string reason;
    OpenRefusal refusal = OpenRefusal::Other;
    EXPECT_FALSE(Open(reason, refusal));
    EXPECT_EQ(refusal, OpenRefusal::Busy);
    EXPECT_EQ(reason,
              pty.SlavePath() + ": the port is in use by another program; locked through " + lock.string());
}

// A link planted at the lock's name is removed, never written through.
TEST_F(UucpLockTest, ALinkAtTheLocksNameIsNeverFollowed)
{
    const fs::path target = folder / "elsewhere";
    std::ofstream(target) << DeadPid() << "\n";
    const std::string before = Content(target);
    fs::create_symlink(target, lock);
    std::string reason;
    OpenRefusal refusal = OpenRefusal::Other;
    auto device = Open(reason, refusal);
    ASSERT_TRUE(device) << reason;
    EXPECT_FALSE(fs::is_symlink(lock));
    EXPECT_EQ(LockFilePid(lock.string()), static_cast<long>(::getpid()));
    EXPECT_EQ(Content(target), before);
}

TEST_F(UucpLockTest, WithoutAWritableFolderThePortOpensUnlocked)
{
    sources.LockFolders = {(folder / "missing").string()};
    std::string reason;
    OpenRefusal refusal = OpenRefusal::Other;
    auto device = Open(reason, refusal);
    ASSERT_TRUE(device) << reason;
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace varnox
