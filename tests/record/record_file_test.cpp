#include "record/record_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "record/run_record_json.h"
#include "tests/record/sample_records.h"

namespace varnox {
namespace {

namespace fs = std::filesystem;
using test::CompletedRun;
using test::IdentityReadFailedRun;

EnvironmentLookup Environment(std::map<std::string, std::string> variables)
{
    return [variables](std::string_view name) -> std::optional<fs::path> {
        const auto it = variables.find(std::string(name));
        if (it == variables.end())
            return std::nullopt;
        return fs::path(it->second);
    };
}

TEST(DefaultRecordPath, LinuxTakesXdgStateHomeElseHomeAndWindowsLocalAppDataElseUserProfile)
{
    const auto Path = [](RecordPathStyle style, std::map<std::string, std::string> variables) {
        return DefaultRecordPath(Environment(std::move(variables)), style);
    };
    const auto Linux = RecordPathStyle::Linux, Windows = RecordPathStyle::Windows;
    const fs::path fromHome = "/home/tec/.local/state/varnox-patch/runs.jsonl";
    EXPECT_EQ(Path(Linux, {{"XDG_STATE_HOME", "/srv/s"}, {"HOME", "/home/tec"}}),
              fs::path("/srv/s/varnox-patch/runs.jsonl"));
    EXPECT_EQ(Path(Linux, {{"HOME", "/home/tec"}}), fromHome);
    // An empty or relative XDG_STATE_HOME is as if unset.
    EXPECT_EQ(Path(Linux, {{"XDG_STATE_HOME", ""}, {"HOME", "/home/tec"}}), fromHome);
    EXPECT_EQ(Path(Linux, {{"XDG_STATE_HOME", "state"}, {"HOME", "/home/tec"}}), fromHome);
    EXPECT_EQ(Path(Linux, {{"XDG_STATE_HOME", "state"}, {"HOME", ""}, {"LOCALAPPDATA", "/x"}}), std::nullopt);

    const fs::path local = "C:/Users/tec/AppData/Local/varnox-patch/runs.jsonl";
    EXPECT_EQ(Path(Windows, {{"LOCALAPPDATA", "C:/Users/tec/AppData/Local"}, {"USERPROFILE", "C:/Users/x"}}),
              local);
    EXPECT_EQ(Path(Windows, {{"LOCALAPPDATA", ""}, {"USERPROFILE", "C:/Users/tec"}}), local);
    EXPECT_EQ(Path(Windows, {{"XDG_STATE_HOME", "/srv/s"}, {"HOME", "/home/tec"}}), std::nullopt);
}

class RecordFile : public testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(testing::TempDir()) / ("varnox_record_" + std::string(test->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Contents(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(RecordFile, AppendCreatesMissingFoldersAndAddsOneLinePerRun)
{
    const fs::path file = dir_ / "state" / "varnox-patch" / "runs.jsonl";
    ASSERT_TRUE(AppendRecord(file, CompletedRun()).Written);
    const RecordWriteResult second = AppendRecord(file, IdentityReadFailedRun());
    ASSERT_TRUE(second.Written) << second.Error;
    EXPECT_EQ(Contents(file),
              RecordToJsonLine(CompletedRun()) + "\n" + RecordToJsonLine(IdentityReadFailedRun()) + "\n");

    const RecordReadResult read = ReadRecords(file);
    ASSERT_TRUE(read.Read) << read.Error;
    ASSERT_EQ(read.Log.Records.size(), 2u);
    EXPECT_EQ(read.Log.Records[1], IdentityReadFailedRun());
    EXPECT_EQ(read.Log.SkippedLines, 0);
}

TEST_F(RecordFile, UnwritablePlaceIsReportedWithTheReason)
{
    // The tests run as root, which writes into read-only folders; a folder
    // that would have to be made under a regular file fails for anyone.
    std::ofstream(dir_ / "plain") << "x";
    const fs::path file = dir_ / "plain" / "varnox-patch" / "runs.jsonl";
    const RecordWriteResult result = AppendRecord(file, CompletedRun());
    EXPECT_FALSE(result.Written);
    const std::string expected = "run record not written: cannot create folder " + (dir_ / "plain").string();
    EXPECT_EQ(result.Error.rfind(expected + "/varnox-patch: ", 0), 0u) << result.Error;

    // The file's own name taken by a folder: open fails with the OS's reason.
    fs::create_directories(dir_ / "taken.jsonl");
    const RecordWriteResult open = AppendRecord(dir_ / "taken.jsonl", CompletedRun());
    EXPECT_FALSE(open.Written);
    EXPECT_EQ(open.Error,
              "run record not written: cannot open " + (dir_ / "taken.jsonl").string() + ": Is a directory");
}

TEST_F(RecordFile, RunAfterTornLineStartsOnItsOwnLine)
{
    const fs::path file = dir_ / "runs.jsonl";
    const std::string whole = RecordToJsonLine(CompletedRun());
    std::ofstream(file, std::ios::binary) << whole << "\n" << whole.substr(0, 40);
    ASSERT_TRUE(AppendRecord(file, IdentityReadFailedRun()).Written);

    const RecordReadResult read = ReadRecords(file);
    ASSERT_TRUE(read.Read);
    ASSERT_EQ(read.Log.Records.size(), 2u);
    EXPECT_EQ(read.Log.Records[0], CompletedRun());
    EXPECT_EQ(read.Log.Records[1], IdentityReadFailedRun());
    EXPECT_EQ(read.Log.SkippedLines, 1);
}

TEST_F(RecordFile, MissingFileIsSaidSo)
{
    const RecordReadResult missing = ReadRecords(dir_ / "none.jsonl");
    EXPECT_TRUE(!missing.Read && missing.Missing);
    EXPECT_EQ(missing.Error, "run record not read: cannot open " + (dir_ / "none.jsonl").string() +
                                 ": No such file or directory");
}

}  // namespace
}  // namespace varnox
