// UUCP lock files on real pseudo-terminals, in a temporary lock folder.

#include "comm/linux/uucp_lock.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "comm/linux/serial_linux.h"
#include "tests/support/pty_pair.h"

namespace varnox {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitized = true;
#else
constexpr bool kAddressSanitized = false;
#endif
#else
constexpr bool kAddressSanitized = false;
#endif

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

// What sits at the lock's name may be anything: a link is never followed, a
// FIFO never waited on, a huge file never read whole (the open runs in a child
// with 5 s and 256 MiB to live). Those are locks we cannot read: the port is
// busy, and the reason says why; a huge file whose first bytes name a dead
// process is a stale lock like any other.
TEST_F(UucpLockTest, WhateverSitsAtTheLocksNameIsReadSafely)
{
    const fs::path target = folder / "elsewhere";
    std::ofstream(target) << DeadPid() << "\n";
    const std::string before = Content(target);
    const std::vector<std::pair<std::string, std::function<void()>>> planted = {
        {"a link", [&] { fs::create_symlink(target, lock); }},
        {"not a regular file", [&] { ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0); }},
        {"not a regular file", [&] { fs::create_directory(lock); }},
        {"",
         [&] {
             WriteLock("  " + std::to_string(DeadPid()) + "\n");
             fs::resize_file(lock, 1ull << 30);  // sparse: costs no disk
         }},
    };
    for (const auto& [why, plant] : planted) {
        fs::remove_all(lock);
        plant();
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(5);
            // A reader that took the whole file would run out of memory here.
            // AddressSanitizer reserves terabytes of address space up front, so
            // under it the bounded read is shown by the regular build alone.
            if (!kAddressSanitized) {
                const struct rlimit memory {
                    256u << 20, 256u << 20
                };
                ::setrlimit(RLIMIT_AS, &memory);
            }
            std::string reason;
            OpenRefusal refusal = OpenRefusal::Other;
            const bool opened = Open(reason, refusal) != nullptr;
            const std::string expected = pty.SlavePath() +
                                         ": the port is in use by another program; cannot read " +
                                         "the lock file " + lock.string() + " (" + why + ")";
            ::_exit(why.empty() ? (opened ? 0 : 1)
                                : (!opened && refusal == OpenRefusal::Busy && reason == expected ? 0 : 2));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << (why.empty() ? "huge stale lock" : why) << ": status " << status;
    }
    EXPECT_EQ(Content(target), before);
}

// Two takers of one stale lock: the second judged it stale too, but the
// first took it over meanwhile and is alive. The second must leave the
// first's lock alone and find the port busy.
TEST_F(UucpLockTest, AStaleLockHasOneTaker)
{
    WriteLock(std::to_string(DeadPid()) + "\n");
    int taken[2];
    int release[2];
    ASSERT_EQ(::pipe(taken), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t first = 0;
    sources.BeforeTakeover = [&] {
        first = ::fork();
        if (first == 0) {
            ::close(release[1]);
            HolderSources plain = sources;
            plain.BeforeTakeover = nullptr;
            UucpLock its;
            std::string holder;
            const char won = its.Take(pty.SlavePath(), plain, holder) ? 'y' : 'n';
            [[maybe_unused]] const auto sent = ::write(taken[1], &won, 1);
            char end = 0;
            [[maybe_unused]] const auto got = ::read(release[0], &end, 1);
            ::_exit(0);
        }
        char won = 0;
        ASSERT_EQ(::read(taken[0], &won, 1), 1);
        EXPECT_EQ(won, 'y');
    };
    UucpLock ours;
    std::string holder;
    EXPECT_FALSE(ours.Take(pty.SlavePath(), sources, holder));
    EXPECT_EQ(LockFilePid(lock.string()), first);
    EXPECT_NE(holder.find("(process " + std::to_string(first) + ") through " + lock.string()), std::string::npos)
        << holder;
    ::close(release[1]);
    ::waitpid(first, nullptr, 0);
    for (int fd : {taken[0], taken[1], release[0]})
        ::close(fd);
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
