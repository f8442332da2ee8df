#include "record/run_record_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "record/utc_time.h"
#include "tests/record/sample_records.h"

namespace varnox {
namespace {

using test::CompletedRun;
using test::IdentityReadFailedRun;

TEST(RunRecordJson, WholeRunIsOneLineInReadingOrder)
{
    EXPECT_EQ(
        RecordToJsonLine(CompletedRun()),
        R"({"record":1,"start":"2025-03-14T09:26:53Z","end":"2025-03-14T09:33:01Z",)"
        R"("program":"varnox-patch-cli","version":"2.04","port":"COM1",)"
        R"("adapter":"/dev/ttyUSB0 0403:6001 FT232R A50285BI",)"
        R"("identity_before":"00 00 00 1F 03 02","firmware_before":"FWKA1AVRXGAA0I_2x04",)"
        R"("image":{"name":"FWKA1AVRXGAA0I_2x04",)"
        R"("sha256":"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08","stand_in":true},)"
        R"("failed_attempts":{"eeprom":2,"handshake":0,"microkernel":1,"flash":3},"reopens":1,)"
        R"("ending":"completed","verification":"verified","identity_after":"00 00 00 20 03 02",)"
        R"("exit_status":0,"failures":{"eeprom":[{"kind":"no-answer","count":1,)"
        R"("last":"chunk at 16384, attempt 1 of 6: Errore Lettura da centrale : No Answer"},)"
        R"({"kind":"gone","count":1,"last":"chunk at 16404, attempt 1 of 6: /dev/ttyUSB0: Input/output error"}],)"
        R"("flash":[{"kind":"parity","count":3,"last":"flash packet 0x24000, attempt 3 of 4"}]},)"
        R"("phases":[{"name":"identity","start":0.012,"end":0.3,"failed_at":[],"reconnected_at":[]},)"
        R"({"name":"eeprom","start":0.3,"end":352.5,"failed_at":[12.25,20.001],"reconnected_at":[30.125]},)"
        R"({"name":"flash","start":361.2,"end":368.0,"failed_at":[362.5,363.0,363.5],"reconnected_at":[]}]})");
}

TEST(RunRecordJson, RoundTripsWholeAndEarlyEndingRuns)
{
    RunRecord named = CompletedRun();
    named.Technician = "Giulia Bianchi";
    for (const RunRecord& run : {CompletedRun(), IdentityReadFailedRun(), named})
        EXPECT_EQ(RecordFromJsonLine(RecordToJsonLine(run)), run);
    EXPECT_NE(RecordToJsonLine(named).find(R"(,"technician":"Giulia Bianchi")"), std::string::npos);
}

TEST(RunRecordJson, EarlyEndingLeavesUnreachedFieldsOut)
{
    const auto json = nlohmann::json::parse(RecordToJsonLine(IdentityReadFailedRun()));
    for (const char* absent : {"adapter", "identity_before", "firmware_before", "image", "identity_after",
                               "technician", "failures", "phases"})
        EXPECT_FALSE(json.contains(absent)) << absent;
    EXPECT_EQ(json.at("verification"), "not-run");
    EXPECT_EQ(json.at("failed_attempts").at("eeprom"), 0);
    EXPECT_EQ(json.at("exit_status"), 1);
}

TEST(RunRecordJson, ReaderIgnoresUnknownFieldsAndNullsAndTakesNewerFormats)
{
    auto json = nlohmann::json::parse(RecordToJsonLine(IdentityReadFailedRun()));
    json["record"] = 2;
    json["operator"] = {{"name", "x"}};
    json["adapter"] = nullptr;
    EXPECT_EQ(RecordFromJsonLine(json.dump()), IdentityReadFailedRun());
}

TEST(RunRecordJson, LinesThatAreNoRecordAreRefused)
{
    const auto good = nlohmann::json::parse(RecordToJsonLine(CompletedRun()));
    auto with = [&](const char* key, nlohmann::json value) {
        auto json = good;
        json[key] = value;
        return json.dump();
    };
    auto without = [&](const char* key) {
        auto json = good;
        json.erase(key);
        return json.dump();
    };
    for (const std::string& line : {
             std::string("[1,2]"),
             without("record"),
             without("start"),
             without("failed_attempts"),
             without("exit_status"),
             with("record", 0),
             with("record", "1"),
             with("start", "2025-02-30T10:00:00Z"),
             with("start", "2025-03-14 09:26:53"),
             with("exit_status", 1.5),
             with("exit_status", true),
             with("reopens", 4294967296LL),
             with("identity_before", "00 00 00 1F 03"),
             with("identity_after", "00-00-00-1F-03-0G"),
             with("image", "FWKA1AVRXGAA0I_2x04"),
             with("image", {{"name", "x"}, {"sha256", "y"}}),
             with("technician", 7),
             with("phases", "eeprom"),
             with("phases", {{{"name", "eeprom"}, {"start", "0.3"}, {"end", 1.0}}}),
             with("failures", {{"eeprom", {{{"kind", "gone"}, {"count", 1}}}}}),
         }) {
        EXPECT_FALSE(RecordFromJsonLine(line)) << line;
    }
}

TEST(RunRecordJson, TornAndGarbageLinesAreSkippedAndCounted)
{
    const std::string first = RecordToJsonLine(CompletedRun());
    const std::string second = RecordToJsonLine(IdentityReadFailedRun());
    const std::string text = first + "\n" + "not json at all\n" + "\n" + second + "\r\n" + "\x01\xff{\n" + first +
                             "\n" + first.substr(0, first.size() / 2);  // torn by a power cut
    const RecordLog log = ParseRecordLines(text);
    ASSERT_EQ(log.Records.size(), 3u);
    EXPECT_EQ(log.Records[0], CompletedRun());
    EXPECT_EQ(log.Records[1], IdentityReadFailedRun());
    EXPECT_EQ(log.Records[2], CompletedRun());
    EXPECT_EQ(log.SkippedLines, 3);
}

TEST(UtcTime, ReadsFractionsAndRefusesImpossibleTimes)
{
    EXPECT_EQ(ParseIsoUtc("2024-02-29T23:59:59.123456789012Z"), test::Utc(2024, 2, 29, 23, 59, 59));
    EXPECT_TRUE(ParseIsoUtc("1677-09-21T00:12:44Z") && ParseIsoUtc("2262-04-11T23:47:16Z"));
    for (const char* bad : {"2023-02-29T00:00:00Z", "1999-12-31T24:00:00Z", "1999-12-31T23:59:59",
                            "1999-12-31T23:59:59.Z", "1999-12-31T23:59:59+01:00", "1999-1-31T23:59:59Z", "",
                            // beyond this build's nanosecond clock: refused, not wrapped into another year
                            "0000-01-01T00:00:00Z", "1677-09-21T00:12:43Z", "2262-04-11T23:47:17Z"})
        EXPECT_FALSE(ParseIsoUtc(bad)) << bad;
}

}  // namespace
}  // namespace varnox
