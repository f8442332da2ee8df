// KeepAwake over both platforms' logic, with the system calls faked.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "power/execution_state_inhibitor.h"
#include "power/keep_awake.h"
#include "power/logind_inhibitor.h"

namespace varnox {
namespace {

struct BusLog {
    LogindBus::Reply Answer;
    std::vector<std::vector<std::string>> Calls;
    std::vector<int> Closed;
};

class FakeBus : public LogindBus {
public:
    explicit FakeBus(BusLog& log) : log_(log) {}
    Reply Inhibit(const std::string& what, const std::string& who, const std::string& why,
                  const std::string& mode) override
    {
        log_.Calls.push_back({what, who, why, mode});
        return log_.Answer;
    }
    void Close(int fd) override { log_.Closed.push_back(fd); }

private:
    BusLog& log_;
};

LogindInhibitor Logind(BusLog& log)
{
    return LogindInhibitor(std::make_unique<FakeBus>(log));
}

LogindBus::Reply Refusal(const std::string& name, const std::string& message)
{
    return {LogindBus::Outcome::CallFailed, -1, name, message};
}

TEST(KeepAwakeLogind, LockIsTakenForTheScopeWithLogindsArguments)
{
    BusLog log;
    log.Answer = {LogindBus::Outcome::Ok, 17, "", ""};
    LogindInhibitor inhibitor = Logind(log);
    {
        const KeepAwake awake(inhibitor);
        EXPECT_TRUE(awake.Taken());
        EXPECT_EQ(awake.Status(), AwakeStatus::Taken);
        EXPECT_EQ(awake.WhyNot(), "");
        ASSERT_EQ(log.Calls.size(), 1u);
        EXPECT_EQ(log.Calls[0], (std::vector<std::string>{"sleep:idle", "varnox-patch",
                                                          "firmware update in progress", "block"}));
        EXPECT_TRUE(log.Closed.empty()) << "released before the scope ended";
    }
    EXPECT_EQ(log.Closed, std::vector<int>{17});

    // A second run takes a fresh lock and closes only that one.
    log.Answer.Fd = 4;
    {
        const KeepAwake again(inhibitor);
    }
    EXPECT_EQ(log.Calls.size(), 2u);
    EXPECT_EQ(log.Closed, (std::vector<int>{17, 4}));
}

TEST(KeepAwakeLogind, NoBusOrNoLogindIsUnavailableAndNothingIsClosed)
{
    const std::vector<LogindBus::Reply> absent = {
        {LogindBus::Outcome::NoBus, -1, "", "No such file or directory"},
        Refusal("org.freedesktop.DBus.Error.ServiceUnknown",
                "The name org.freedesktop.login1 was not provided by any .service files"),
        Refusal("org.freedesktop.DBus.Error.NameHasNoOwner", "Could not get owner of name"),
    };
    for (const LogindBus::Reply& answer : absent) {
        BusLog log;
        log.Answer = answer;
        LogindInhibitor inhibitor = Logind(log);
        {
            const KeepAwake awake(inhibitor);
            EXPECT_FALSE(awake.Taken());
            EXPECT_EQ(awake.Status(), AwakeStatus::Unavailable) << answer.ErrorName;
            EXPECT_NE(awake.WhyNot().find(answer.Message), std::string::npos) << awake.WhyNot();
        }
        EXPECT_TRUE(log.Closed.empty());
    }
}

TEST(KeepAwakeLogind, RefusedOrBrokenCallFailsAndSaysWhy)
{
    const struct {
        LogindBus::Reply Answer;
        std::string WhyNot;
    } cases[] = {
        {Refusal("org.freedesktop.DBus.Error.AccessDenied", "Permission denied"),
         "logind refused the inhibitor lock: org.freedesktop.DBus.Error.AccessDenied: Permission denied"},
        {Refusal("", "Connection timed out"), "logind refused the inhibitor lock: Connection timed out"},
        {{LogindBus::Outcome::Ok, -1, "", ""}, "logind answered without an inhibitor lock"},
    };
    for (const auto& c : cases) {
        BusLog log;
        log.Answer = c.Answer;
        LogindInhibitor inhibitor = Logind(log);
        {
            const KeepAwake awake(inhibitor);
            EXPECT_EQ(awake.Status(), AwakeStatus::Failed);
            EXPECT_EQ(awake.WhyNot(), c.WhyNot);
        }
        EXPECT_TRUE(log.Closed.empty());
    }
}

class FakeExecutionState : public ExecutionStateApi {
public:
    FakeExecutionState(std::vector<uint32_t>& calls, uint32_t answer) : calls_(calls), answer_(answer) {}
    uint32_t SetThreadExecutionState(uint32_t flags) override
    {
        calls_.push_back(flags);
        return answer_;
    }

private:
    std::vector<uint32_t>& calls_;
    uint32_t answer_;
};

TEST(KeepAwakeWindows, SystemRequiredForTheScopeThenContinuousAlone)
{
    std::vector<uint32_t> calls;
    ExecutionStateInhibitor inhibitor(std::make_unique<FakeExecutionState>(calls, kEsContinuous));
    {
        const KeepAwake awake(inhibitor);
        EXPECT_TRUE(awake.Taken());
        EXPECT_EQ(calls, std::vector<uint32_t>{0x80000001u});
    }
    EXPECT_EQ(calls, (std::vector<uint32_t>{0x80000001u, 0x80000000u}));
}

TEST(KeepAwakeWindows, FailedCallIsNotUndone)
{
    std::vector<uint32_t> calls;
    ExecutionStateInhibitor inhibitor(std::make_unique<FakeExecutionState>(calls, 0));
    {
        const KeepAwake awake(inhibitor);
        EXPECT_EQ(awake.Status(), AwakeStatus::Failed);
        EXPECT_EQ(awake.WhyNot(), "SetThreadExecutionState refused to keep the system awake");
    }
    EXPECT_EQ(calls, std::vector<uint32_t>{0x80000001u});
}

// On this machine: whatever the system offers, the hold either holds or says why not.
TEST(KeepAwakeSystem, HoldsOrSaysWhyNot)
{
    const KeepAwake awake;
    EXPECT_EQ(awake.Taken(), awake.WhyNot().empty()) << awake.WhyNot();
    RecordProperty("why_not", awake.WhyNot());
}

}  // namespace
}  // namespace varnox
