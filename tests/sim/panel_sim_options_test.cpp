// The command line of varnox-panel-sim.

#include <gtest/gtest.h>

#include "sim/panel_sim_options.h"

namespace varnox {
namespace {

std::string Refusal(const std::vector<std::string>& args)
{
    PanelSimOptions options;
    std::string error;
    EXPECT_FALSE(ParsePanelSimOptions(args, options, error));
    return error;
}

TEST(PanelSimOptions, DefaultsAreAnUntouchedPanelThatAnswersInTime)
{
    PanelSimOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelSimOptions({}, options, error));
    EXPECT_EQ(options.Panel.Identity, (IdentityBytes{0x00, 0x00, 0x0B, 0x20, 0x00, 0x00}));
    EXPECT_EQ(options.Panel.EepromWord, 0x8000);
    EXPECT_TRUE(options.Panel.Faults.empty());
    EXPECT_FALSE(options.ExitAfterRestart);
    EXPECT_DOUBLE_EQ(options.Panel.Timing.EepromWriteTime, 0.005);
    EXPECT_DOUBLE_EQ(options.Panel.Timing.AdapterReturn, 2.0);
    EXPECT_TRUE(options.LinkPath.empty());
}

TEST(PanelSimOptions, StoreTimeDropoutAndLink)
{
    PanelSimOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelSimOptions({"--eeprom-write-ms", "12.5", "--return-after=500", "--link", "/tmp/by-id",
                                      "--fault", "silent-after-restart"},
                                     options, error))
        << error;
    EXPECT_DOUBLE_EQ(options.Panel.Timing.EepromWriteTime, 0.0125);
    EXPECT_DOUBLE_EQ(options.Panel.Timing.AdapterReturn, 0.5);
    EXPECT_EQ(options.LinkPath, "/tmp/by-id");
    ASSERT_EQ(options.Panel.Faults.size(), 1u);
    EXPECT_EQ(PanelFaultText(options.Panel.Faults[0]), "silent-after-restart:end:1");

    EXPECT_EQ(Refusal({"--eeprom-write-ms", "-1"}), "--eeprom-write-ms -1: expected MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--return-after", "soon"}), "--return-after soon: expected MS from 0 to 60000");
    // from_chars reads these; a NaN would pass any range check and kill the panel later.
    EXPECT_EQ(Refusal({"--return-after", "nan"}), "--return-after nan: expected MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--eeprom-write-ms=-nan"}), "--eeprom-write-ms -nan: expected MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--eeprom-write-ms", "inf"}), "--eeprom-write-ms inf: expected MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--link"}), "--link needs a value");
}

TEST(PanelSimOptions, EveryOptionInBothSpellings)
{
    PanelSimOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelSimOptions(
        {"--identity=00 00 1a 05 00 04", "--eeprom-word", "0x7FDF", "--delay", "write=120", "--delay=erase=2500.5",
         "--fault", "late:flash:3", "--fault=no-answer:write-eeprom:5:2", "--dump-eeprom", "e.bin",
         "--dump-flash=f.bin", "--verify", "X", "--transcript", "t.txt", "--exit-after-restart"},
        options, error))
        << error;
    EXPECT_EQ(options.Panel.Identity, (IdentityBytes{0x00, 0x00, 0x1A, 0x05, 0x00, 0x04}));
    EXPECT_EQ(options.Panel.EepromWord, 0x7FDF);
    EXPECT_DOUBLE_EQ(options.Panel.Timing.WriteDelay, 0.120);
    EXPECT_DOUBLE_EQ(options.Panel.Timing.EraseTime, 2.5005);
    ASSERT_EQ(options.Panel.Faults.size(), 2u);
    EXPECT_EQ(PanelFaultText(options.Panel.Faults[1]), "no-answer:write-eeprom:5:2");
    EXPECT_EQ(options.DumpEeprom, "e.bin");
    EXPECT_EQ(options.DumpFlash, "f.bin");
    EXPECT_EQ(options.VerifyName, "X");
    EXPECT_EQ(options.TranscriptPath, "t.txt");
    EXPECT_TRUE(options.ExitAfterRestart);
}

TEST(PanelSimOptions, AsNamesTheImageToImpersonate)
{
    PanelSimOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelSimOptions({"--as", "FWKA1DVRXGAA0I_2x04"}, options, error));
    EXPECT_EQ(options.ImpersonateName, "FWKA1DVRXGAA0I_2x04");
}

TEST(PanelSimOptions, RefusesWhatItCannotUse)
{
    EXPECT_EQ(Refusal({"--identity", "00000B2000"}),
              "--identity 00000B2000: expected six bytes in hex, e.g. 00000B200000");
    EXPECT_EQ(Refusal({"--identity", "00000B20000G"}),
              "--identity 00000B20000G: expected six bytes in hex, e.g. 00000B200000");
    EXPECT_EQ(Refusal({"--identity", "00000B200000", "--as", "FWKA1AVRXGAA0I_2x04"}),
              "give the identity once, with either --identity or --as");
    EXPECT_EQ(Refusal({"--eeprom-word", "10000"}), "--eeprom-word 10000: expected a 16-bit hex number, e.g. 8000");
    EXPECT_EQ(Refusal({"--delay", "read"}), "--delay read: expected read=MS with MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--delay", "read=-1"}), "--delay read=-1: expected read=MS with MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--delay", "flash=NAN"}), "--delay flash=NAN: expected flash=MS with MS from 0 to 60000");
    EXPECT_EQ(Refusal({"--delay", "boot=5"}), "--delay boot=5: unknown delay \"boot\"");
    EXPECT_EQ(Refusal({"--fault", "late:flash"}), "fault \"late:flash\": expected TYPE:KIND:N[:COUNT]");
    EXPECT_EQ(Refusal({"--verify"}), "--verify needs a value");
    EXPECT_EQ(Refusal({"--exit-after-restart=yes"}), "--exit-after-restart takes no value");
    EXPECT_EQ(Refusal({"--version=2"}), "--version takes no value");
    EXPECT_EQ(Refusal({"/dev/ttyS0"}), "unknown option /dev/ttyS0");
}

TEST(PanelSimOptions, HelpDescribesTheFaultSyntaxAndVersion)
{
    PanelSimOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelSimOptions({"-h"}, options, error));
    EXPECT_TRUE(options.Help);
    const std::string usage = PanelSimUsage();
    EXPECT_NE(usage.find("--fault TYPE:KIND:N[:COUNT]"), std::string::npos);
    EXPECT_NE(usage.find("short-reply"), std::string::npos);
    EXPECT_NE(usage.find("--exit-after-restart"), std::string::npos);
    for (const char* added : {"--eeprom-write-ms MS", "--return-after MS", "--link PATH", "pull-return",
                              "store-wrong", "early-ack", "silent-after-restart", "old-identity"})
        EXPECT_NE(usage.find(added), std::string::npos) << added;

    EXPECT_NE(usage.find("--version"), std::string::npos);

    ASSERT_TRUE(ParsePanelSimOptions({"--version"}, options, error));
    EXPECT_TRUE(options.Version);
}

}  // namespace
}  // namespace varnox
