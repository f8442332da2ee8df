// The port trace (--trace): the traced opener and device in simulated time,
// in front of the simulated panel, through the real port record and requests.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "comm/serial_port.h"
#include "protocol/memory_requests.h"
#include "sim/sim_device.h"
#include "tests/sim/panel_test_support.h"
#include "tests/support/scripted_device.h"
#include "trace/traced_device.h"

namespace varnox {
namespace {

using testing::Bytes;

class TracedLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(trace.Open(path, error)) << error;
    }
    void TearDown() override { ::unlink(path.c_str()); }

    // The trace's lines so far; the device's bytes are written once a line is complete.
    std::vector<std::string> Lines() const
    {
        std::ifstream file(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    const std::string path = "/tmp/varnox-trace-test-" + std::to_string(::getpid()) + ".txt";
    SimPanel panel;
    SimClock clock;
    SimPortOpener sim{panel, clock, 1};
    PortTrace trace{clock};
    TracedPortOpener opener{sim, trace};
};

TEST_F(TracedLink, IdentityReadShowsRequestAndReplyWithTheirTimes)
{
    SerialPort port(1, kPanelLine);
    ASSERT_TRUE(port.Open(opener).ok());
    clock.Pause(10);
    MemoryRequests requests(port, clock);
    uint8_t identity[6] = {};
    ASSERT_TRUE(requests.ReadMemory(0xFED0, identity, 6).ok());
    ASSERT_TRUE(port.Close().ok());

    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "# seconds, '>' tool to panel, '<' panel to tool, '#' port events",
                           "    0.000000 # open COM1 simulated panel",
                           "    0.010000 > 06 01 06 FE D0 97 00",
                           // Stamped when the tool reads it, after the request's fixed wait.
                           "    0.260000 < 06 01 06 FE D0 97 01 03 0B 20 01 02 C9 00",
                           "    0.260000 # close",
                       }));
}

TEST_F(TracedLink, NotesRefusalsReopensDiscardsAndTheDeviceGone)
{
    sim.FailNextOpens(1);
    std::string reason;
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "COM1: Device or resource busy");
    EXPECT_EQ(opener.LastRefusal(), OpenRefusal::Busy);

    SerialPort port(1, kPanelLine);
    ASSERT_TRUE(port.Open(opener).ok());
    // A reply nobody read is stale by the next request: the discard reads it.
    const Bytes request = testing::ReadRequest(1, 0xFED0, 6);
    ASSERT_TRUE(port.Send(request.data(), request.size()).ok());
    clock.Pause(100);
    port.DiscardInput(clock);
    // A discard with nothing waiting is no event.
    port.DiscardInput(clock);
    ASSERT_TRUE(port.Open(opener).ok());
    sim.FailNextOpens(0);

    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "    0.000000 # open COM1 simulated panel refused: COM1: Device or resource busy");
    EXPECT_EQ(lines[2], "    0.000000 # open COM1 simulated panel");
    EXPECT_EQ(lines[3], "    0.000000 > 06 01 06 FE D0 97 00");
    EXPECT_EQ(lines[4], "    0.100000 # flush: input discarded");
    EXPECT_EQ(lines[5].substr(12, 5), " < 06");
    EXPECT_EQ(lines[6], "    0.100000 # close");
    EXPECT_EQ(lines[7], "    0.100000 # re-open COM1 simulated panel");
}

TEST_F(TracedLink, DeviceGoneIsNotedOnceWithWhatTheSystemSaid)
{
    PanelConfig config;
    config.Faults.push_back({PanelFaultType::Pull, RequestKind::ReadMemory, 1, 1});
    SimPanel pulled(config);
    SimPortOpener pulled_sim(pulled, clock, 1);
    TracedPortOpener pulled_opener(pulled_sim, trace);
    std::string reason;
    {
        auto device = pulled_opener.OpenPort(1, reason);
        ASSERT_TRUE(device);
        ASSERT_TRUE(device->Configure(kPanelLine).ok());
        const Bytes request = testing::ReadRequest(1, 0xFED0, 6);
        EXPECT_EQ(device->Write(request.data(), request.size()).kind, CommFailure::WriteFailed);
        EXPECT_EQ(device->BytesWaiting(), -1);
        EXPECT_EQ(device->WaitForInput(0, 1.0), WaitResult::Gone);
    }
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "# seconds, '>' tool to panel, '<' panel to tool, '#' port events",
                           "    0.000000 # open COM1 simulated panel",
                           "    0.000000 > 06 01 06 FE D0 97 00",
                           "    0.000000 # gone: write failed: Input/output error",
                           "    0.000000 # close",
                       }));
}

// A reply garbled on the line: the request fails with the line's own word for
// why, and the trace has the line error where the port took it.
TEST_F(TracedLink, LineErrorOfAFailedRequestReachesTheTraceAndTheResult)
{
    testing::ScriptedLine line(clock);
    testing::ScriptedOpener scripted(line);
    TracedPortOpener traced(scripted, trace);
    SerialPort port(1, kPanelLine);
    ASSERT_TRUE(port.Open(traced).ok());
    line.ReplyToNextWrite(
        testing::At(0.010, {0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x01, 0x03, 0x0B, 0x20, 0x01, 0x02, 0x00, 0x00}));
    line.RaiseErrorFlags(kRxParity);
    MemoryRequests requests(port, clock);
    uint8_t identity[6] = {};
    const LinkResult read = requests.ReadMemory(0xFED0, identity, 6);
    EXPECT_EQ(read.failure, LinkFailure::BadChecksum);
    EXPECT_EQ(FailureKind(read), "parity");

    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "    0.250000 # line error: parity (flags 0x0004)");
}

}  // namespace
}  // namespace varnox
