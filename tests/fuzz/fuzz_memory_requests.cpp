// The four service-protocol requests against a line whose bytes, and the
// moments they arrive, come from the fuzzer: well-formed replies, broken and
// split ones, stale input, floods, and a port that reads short, fails to read
// or fails to write. A model of the line, written from the protocol's rules,
// predicts every request's result, failure text, port state, waiting time,
// the frame on the wire and the data handed back; any difference aborts.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "protocol/memory_requests.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference_frames.h"
#include "tests/support/scripted_device.h"

namespace {

using namespace varnox;
using fuzz::ByteVector;
using fuzz::Expect;
using fuzz::FuzzInput;

constexpr int kPort = 1;
// The scripted line counts a byte as arrived within a nanosecond of its time.
constexpr double kSlack = 1e-9;

// Times after a request that decide its fate, with neighbours on both sides.
constexpr double kEdgeTimes[] = {0.0001, 0.1499, 0.150,  0.1501, 0.1699, 0.170,  0.1701, 0.2099,
                                 0.210,  0.2101, 0.2499, 0.250,  0.2501, 1.3099, 1.310,  1.3101};

struct Timed {
    double at;
    uint8_t byte;
};

// What the line holds, as the model sees it: bytes in order of arrival.
class LineModel {
public:
    void Add(double at, const ByteVector& bytes)
    {
        for (uint8_t b : bytes) {
            auto where = std::upper_bound(bytes_.begin(), bytes_.end(), at,
                                          [](double t, const Timed& x) { return t < x.at; });
            bytes_.insert(where, Timed{at, b});
        }
    }
    std::size_t ArrivedBy(double t) const
    {
        return static_cast<std::size_t>(
            std::count_if(bytes_.begin(), bytes_.end(), [&](const Timed& x) { return x.at <= t + kSlack; }));
    }
    void DropArrived(double t) { bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(ArrivedBy(t))); }
    ByteVector Take(std::size_t n)
    {
        ByteVector out;
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(bytes_[i].byte);
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(n));
        return out;
    }

private:
    std::vector<Timed> bytes_;
};

enum class Device { Plain, LimitedReads, FailingReads, FailingWrites };

struct Prediction {
    LinkFailure failure = LinkFailure::None;
    double waited = 0;
    bool sent = false;
    ByteVector data;  // what a successful read hands back
};

struct Harness {
    SimClock clock;
    testing::ScriptedLine line{clock};
    testing::ScriptedOpener opener{line};
    SerialPort port{kPort};
    MemoryRequests requests{port, clock};

    LineModel model;
    bool open = false;
    Device device = Device::Plain;
    long read_limit = -1;

    bool ReadsDeliver() const { return device != Device::FailingReads && read_limit != 0; }

    void Open()
    {
        Expect(port.Open(opener).ok(), "the scripted port did not open");
        // A re-open releases the device first: what had arrived is lost either way.
        model.DropArrived(clock.Now());
        open = true;
    }

    void Closed()
    {
        if (open)
            model.DropArrived(clock.Now());
        open = false;
    }

    // How many bytes one read of `wanted` waiting bytes delivers.
    std::size_t Delivered(std::size_t wanted) const
    {
        if (!ReadsDeliver())
            return 0;
        return read_limit > 0 ? std::min<std::size_t>(wanted, static_cast<std::size_t>(read_limit)) : wanted;
    }
};

ByteVector RequestFrame(uint8_t code, uint16_t address, const ByteVector& data, uint8_t count, bool write)
{
    ByteVector packet = {code, count, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    packet.push_back(fuzz::ReferenceCrc8(packet.data(), 4));
    if (write) {
        packet.insert(packet.end(), data.begin(), data.end());
        packet.push_back(fuzz::ReferenceCrc8(data.data(), data.size()));
    }
    return fuzz::ReferenceFrame(packet);
}

// Judges the bytes taken as a reply frame whose check byte sits at `check_at`.
// A reply too short to hold that byte fails its check: its data would come
// from outside the reply.
LinkFailure JudgeReply(const ByteVector& frame, std::size_t check_at, ByteVector& packet)
{
    const auto unframed = fuzz::ReferenceUnframe(frame);
    if (!unframed)
        return LinkFailure::BadData;
    packet = *unframed;
    if (packet.size() <= check_at)
        return LinkFailure::BadChecksum;
    const uint8_t crc = fuzz::ReferenceCrc8(packet.data(), packet.size() - 1);
    return crc == packet[check_at] ? LinkFailure::None : LinkFailure::BadChecksum;
}

// The request's fate from the model of the line, following the documented
// exchange: flush, write, fixed waits and looks, one read of what was counted.
Prediction Predict(Harness& h, bool write, uint8_t count, double start)
{
    Prediction p;
    if (count > kMaxRequestCount) {
        p.failure = LinkFailure::CountTooLarge;
        return p;
    }
    const std::size_t threshold = write ? 6u : count + 6u;
    double look = start;
    std::size_t waiting = 0;
    if (!h.open) {
        p.failure = LinkFailure::NoAnswer;
        p.waited = write ? 1.310 : 0.250;
        return p;
    }
    if (h.ReadsDeliver())
        h.model.DropArrived(start);
    p.sent = h.device != Device::FailingWrites;

    if (!write) {
        look = start + 0.250;
        waiting = h.model.ArrivedBy(look);
        p.waited = 0.250;
    } else {
        look = start + 0.150;
        waiting = h.model.ArrivedBy(look);
        if (waiting < threshold) {
            look += 0.020;
            waiting = h.model.ArrivedBy(look);
        }
        if (waiting < threshold) {
            look += 0.040;
            waiting = h.model.ArrivedBy(look);
        }
        p.waited = waiting < threshold ? 1.310 : look - start;
    }

    if (waiting < threshold) {
        p.failure = LinkFailure::NoAnswer;
    } else if (waiting > 255) {
        p.failure = LinkFailure::BadData;
    } else {
        const std::size_t got = h.Delivered(waiting);
        if (got < threshold) {
            p.failure = LinkFailure::NoAnswer;
        } else {
            ByteVector packet;
            p.failure = JudgeReply(h.model.Take(got), write ? 4u : count + 5u, packet);
            if (p.failure == LinkFailure::None && !write)
                p.data.assign(packet.begin() + 5, packet.begin() + 5 + count);
        }
    }
    return p;
}

// Bytes that arrive for one request: noise, or replies that are right,
// damaged, cut, doubled or far too long.
ByteVector ReplyBytes(FuzzInput& in, bool write, uint8_t count)
{
    switch (in.Below(5)) {
    case 0: return in.Bytes(in.Below(32));
    case 1:
    case 2: {
        ByteVector packet = {in.Byte(), write ? in.Byte() : count, in.Byte(), in.Byte()};
        if (!write) {
            packet.push_back(fuzz::ReferenceCrc8(packet.data(), 4));
            const ByteVector data = in.Bytes(count);
            packet.insert(packet.end(), data.begin(), data.end());
        }
        // Now and then a packet of another length, still with a right check byte.
        if (in.Below(4) == 0)
            packet.resize(in.Below(24), in.Byte());
        packet.push_back(fuzz::ReferenceCrc8(packet.data(), packet.size()));
        ByteVector frame = fuzz::ReferenceFrame(packet);
        const uint8_t damage = in.Byte();
        if (damage & 1)
            frame[(damage >> 1) % frame.size()] ^= in.Byte();
        if (damage & 2)
            frame.resize(frame.size() - 1 - (damage >> 2) % std::min<std::size_t>(frame.size(), 4));
        if (damage & 0x80)
            frame.insert(frame.end(), frame.begin(), frame.end());
        return frame;
    }
    case 3: {
        const std::size_t length = 200u + in.Byte();
        return ByteVector(length, in.Byte());
    }
    default: return {};
    }
}

double ArrivalTime(FuzzInput& in)
{
    const uint8_t how = in.Byte();
    if (how & 1)
        return kEdgeTimes[(how >> 1) % std::size(kEdgeTimes)];
    return 0.0001 + in.Word() / 10000.0;  // up to 6.5 s, to the tenth of a millisecond
}

std::string Describe(const char* what, const Prediction& p, LinkFailure got)
{
    return std::string(what) + ": expected failure " + LinkFailureText(p.failure) + "|, got " +
           LinkFailureText(got) + "|";
}

void RunRequest(Harness& h, FuzzInput& in)
{
    const uint8_t op = in.Byte();
    const int kind = op & 3;  // read memory, read EEPROM, write EEPROM, write memory
    const bool write = kind >= 2;
    if (op & 4)
        h.Open();
    uint8_t count = in.Byte();
    if ((op & 0x20) == 0)
        count %= 24;
    const uint16_t address = in.Word();
    const uint8_t selector = kind == 3 ? in.Byte() : kSelectEeprom;
    const ByteVector data = write ? in.Bytes(count) : ByteVector{};

    const double start = h.clock.Now();
    // Stale input before the request: the flush must throw it away.
    if (op & 8) {
        const ByteVector stale = in.Bytes(in.Below(16));
        h.line.Inject(start, stale);
        h.model.Add(start, stale);
    }
    for (unsigned i = in.Below(4); i > 0; --i) {
        const double at = start + ArrivalTime(in);
        const ByteVector bytes = ReplyBytes(in, write, count);
        h.line.Inject(at, bytes);
        h.model.Add(at, bytes);
    }

    const Prediction p = Predict(h, write, count, start);

    uint8_t destination[256];
    std::memset(destination, 0xA5, sizeof destination);
    const std::size_t writes_before = h.line.Writes().size();
    LinkResult result;
    switch (kind) {
    case 0: result = h.requests.ReadMemory(address, destination, count); break;
    case 1: result = h.requests.ReadEeprom(address, destination, count); break;
    case 2: result = h.requests.WriteEeprom(address, data.data(), count); break;
    default: result = h.requests.WriteMemory(address, data.data(), count, selector); break;
    }
    const bool failed = result.failed();
    const LinkFailure got = result.failure;

    Expect(failed == (p.failure != LinkFailure::None), Describe("result", p, got));
    Expect(got == p.failure, Describe("failure", p, got));
    Expect(std::string(result.text()) == LinkFailureText(p.failure),
           "the failure text is \"" + std::string(result.text()) + "\"");
    const double waited = h.clock.Now() - start;
    Expect(std::fabs(waited - p.waited) < 1e-6,
           "waited " + std::to_string(waited) + " s instead of " + std::to_string(p.waited));

    const auto writes = h.line.Writes();
    Expect(writes.size() == writes_before + (p.sent ? 1 : 0), "wrong number of frames sent");
    if (p.sent) {
        const uint8_t code = kind == 0                   ? kReadMemory
                             : kind == 1                 ? kReadEeprom
                             : selector == kSelectEeprom ? kWriteEeprom
                                                         : kWriteMemory;
        Expect(writes.back().bytes == RequestFrame(code, address, data, count, write), "wrong request frame");
    }

    if (failed) {
        for (uint8_t b : destination)
            Expect(b == 0xA5, "a failed read touched the caller's buffer");
    } else if (!write) {
        Expect(std::equal(p.data.begin(), p.data.end(), destination), "read handed back other data");
        for (std::size_t i = count; i < sizeof destination; ++i)
            Expect(destination[i] == 0xA5, "read wrote past the count");
    }

    // A request leaves the port as it found it.
    Expect(h.port.IsOpen() == h.open, "the request opened or closed the port");
    Expect(h.line.IsOpen(kPort) == h.open, "the device's state disagrees with the port record");
    // As the engine does, a failed exchange lets the port go, except one that was never sent.
    if (failed && p.failure != LinkFailure::CountTooLarge) {
        h.port.Close();
        h.Closed();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    Harness h;
    switch (in.Below(8)) {
    case 5:
        h.device = Device::LimitedReads;
        h.read_limit = in.Below(20);
        h.line.LimitReads(h.read_limit);
        break;
    case 6:
        h.device = Device::FailingReads;
        h.line.FailReads(true);
        break;
    case 7:
        h.device = Device::FailingWrites;
        h.line.FailWrites(true);
        break;
    default: break;
    }
    // Now and then the requests start before any port was ever opened.
    if (in.Below(8) != 0)
        h.Open();
    for (int i = 0; i < 6 && !in.Empty(); ++i)
        RunRequest(h, in);
    return 0;
}
