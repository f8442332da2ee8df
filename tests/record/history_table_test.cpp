#include "record/history_table.h"

#include <gtest/gtest.h>

#include "tests/record/sample_records.h"

namespace varnox {
namespace {

TEST(HistoryTable, OneNumberedRowPerRunOldestFirstColumnsFitCharacters)
{
    RunRecord rejected = test::IdentityReadFailedRun();
    rejected.Start = test::Utc(2025, 4, 1, 7, 5, 0);
    rejected.Port = "caf\xc3\xa9";  // é takes one column
    rejected.FirmwareBefore = "FWKA1AVRXGAA0I_2x04";
    rejected.Image = RecordedImage{"FWKA1AVRXGAA0I_2x04", "00", false};
    rejected.Ending = "flash\x1b[2J";  // a hand-edited line must not clear the screen
    rejected.Verification = run_verification::kNoAnswer;

    RecordLog log;
    log.Records = {test::CompletedRun(), test::IdentityReadFailedRun(), rejected};
    log.SkippedLines = 2;
    EXPECT_EQ(
        HistoryTable(log),
        "run  start (UTC)          port        firmware before      image                           ending       "
        "         verification  exit\n"
        "---  -------------------  ----------  -------------------  ------------------------------  "
        "--------------------  ------------  ----\n"
        "1    2025-03-14 09:26:53  COM1        FWKA1AVRXGAA0I_2x04  FWKA1AVRXGAA0I_2x04 (stand-in)  completed    "
        "         verified      0\n"
        "2    2025-03-15 23:59:58  /dev/ttyS0  -                    -                               "
        "identity-read-failed  not-run       1\n"
        "3    2025-04-01 07:05:00  caf\xc3\xa9        FWKA1AVRXGAA0I_2x04  FWKA1AVRXGAA0I_2x04             "
        "flash\\x1B[2J          no-answer     1\n"
        "3 runs; 2 unreadable lines skipped\n");
}

TEST(HistoryTable, EmptyLogKeepsHeaderAndSaysSo)
{
    RecordLog log;
    log.SkippedLines = 1;
    EXPECT_EQ(HistoryTable(log),
              "run  start (UTC)  port  firmware before  image  ending  verification  exit\n"
              "---  -----------  ----  ---------------  -----  ------  ------------  ----\n"
              "0 runs; 1 unreadable line skipped\n");
}

}  // namespace
}  // namespace varnox
