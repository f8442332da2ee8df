// The bootloader and flash phase against a loader whose every answer comes
// from the fuzzer: right, wrong, late, early, split, doubled, byte by byte,
// noise or nothing, and answers that land right at a time-out. A checker
// walks what went out on the line and predicts, from the loader protocol's
// rules alone, which attempt must succeed, which must be repeated, when each
// packet must be sent, how the phase ends and what the window then shows.
// It also bounds how often the input is looked at, so a reply wait that polls
// instead of sleeping between arrivals shows up.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/clock.h"
#include "firmware/catalogue.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/phase_run.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_device.h"
#include "update/update_engine.h"

namespace {

using namespace varnox;
using fuzz::Expect;
using fuzz::FuzzInput;
using ByteVector = std::vector<uint8_t>;

constexpr double kSlack = 1e-9;                        // the scripted line's own arrival slack
constexpr double kExact = 1e-6;                        // times that follow from arrivals and fixed pauses
constexpr double kBefore = 0.002;                      // stamps and elapsed times are kept to the millisecond,
constexpr double kAfter = 0.003;                       // so only this close to a time-out is the outcome open
constexpr const char* kImage = "FWKAELVRXGAA0I_2x04";  // any image: all write the same flash ranges

enum class Step { Handshake, Kernel, Flash, End };

struct Timed {
    double at;
    uint8_t byte;
};

uint8_t Sum(const uint8_t* bytes, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

Step Classify(const ByteVector& written)
{
    if (written.size() == 7)
        return Step::Handshake;
    if (written.size() == 66)
        return Step::Kernel;
    if (std::all_of(written.begin(), written.end(), [](uint8_t b) { return b == 0; }))
        return Step::End;
    return Step::Flash;
}

// Reply time-out measured from the write (the handshake's clock starts after its 50 ms pause).
double LimitAfterWrite(Step step)
{
    return step == Step::Handshake ? 0.25 : step == Step::Kernel ? 0.2 : 0.8;
}

// ---------------------------------------------------------------- the loader

// Answers each write as the fuzzer says, and keeps every byte it scheduled.
class Loader {
public:
    Loader(FuzzInput& in, SimClock& clock) : in_(in), clock_(clock) {}

    testing::Reply Answer(const ByteVector& written)
    {
        const Step step = Classify(written);
        if (step == Step::End)
            return {};  // the loader restarts; it never answers
        ByteVector good;
        if (step == Step::Handshake) {
            good = {0x06, 0xB7, 0x01, 0x01, 0x01, 0x00};
        } else if (step == Step::Kernel) {
            const bool closing = written[0] == 0 && written[1] == 0;
            good = {closing ? Sum(written.data() + 2, 64) : Sum(written.data(), written.size())};
        } else {
            good = {0x00, 0x00, 0x00, Sum(written.data(), written.size())};
        }

        testing::Reply reply;
        if (good_run_ > 0 || in_.Empty()) {
            // Once the input is used up the loader behaves, so short inputs still reach the end.
            if (good_run_ > 0)
                --good_run_;
            reply = testing::At(0.005, good);
        } else
            switch (in_.Below(10)) {
            case 0:  // right, soon
                reply = testing::At(Soon(), good);
                break;
            case 1:  // right, at any time up to seconds later
                reply = testing::At(0.0001 + in_.Word() / 10000.0, good);
                break;
            case 2: {  // one byte wrong
                ByteVector bad = good;
                const std::size_t where = in_.Byte() % bad.size();
                bad[where] ^= static_cast<uint8_t>(in_.Byte() | 1);
                reply = testing::At(Soon(), bad);
                break;
            }
            case 3:  // nothing
                break;
            case 4: {  // right, with more bytes in the same burst
                ByteVector more = good;
                const ByteVector extra = in_.Bytes(1 + in_.Below(4));
                more.insert(more.end(), extra.begin(), extra.end());
                reply = testing::At(Soon(), more);
                break;
            }
            case 5:  // right, byte by byte
                reply = testing::ByteByByte(Soon(), (in_.Byte() + 1) / 4000.0, good);
                break;
            case 6:  // noise
                reply = testing::At(Soon(), in_.Bytes(in_.Below(8)));
                break;
            case 7: {  // right, split in two bursts
                const std::size_t cut = in_.Byte() % (good.size() + 1);
                reply = testing::At(Soon(), ByteVector(good.begin(), good.begin() + static_cast<long>(cut)));
                const auto rest = testing::At(0.0001 + in_.Word() / 10000.0,
                                              ByteVector(good.begin() + static_cast<long>(cut), good.end()));
                reply.insert(reply.end(), rest.begin(), rest.end());
                break;
            }
            case 8: {  // right, close to the time-out on either side
                static constexpr double kOffsets[] = {-0.005, -0.0025, -0.001, 0.0, 0.001, 0.0025, 0.005};
                reply = testing::At(LimitAfterWrite(step) + kOffsets[in_.Below(std::size(kOffsets))], good);
                break;
            }
            default:  // the next many answers are right
                good_run_ = in_.Byte() * 2u;
                reply = testing::At(Soon(), good);
                break;
            }
        const double now = clock_.Now();
        for (const auto& arrival : reply)
            for (uint8_t b : arrival.bytes)
                schedule_.push_back({now + arrival.after, b});
        return reply;
    }

    // Every byte the loader sent, in the order the line delivers them.
    std::vector<Timed> Schedule() const
    {
        std::vector<Timed> sorted = schedule_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Timed& a, const Timed& b) { return a.at < b.at; });
        return sorted;
    }

private:
    double Soon() { return 0.0001 + in_.Byte() / 4000.0; }

    FuzzInput& in_;
    SimClock& clock_;
    std::vector<Timed> schedule_;
    unsigned good_run_ = 0;
};

// ---------------------------------------------------------------- the rules

enum class Verdict { Success, Failure, Open };

struct Outcome {
    Verdict verdict = Verdict::Open;
    double lo = 0, hi = 0;  // when the attempt ends
};

// One attempt written at `t`, judged on the bytes still to come at that moment
// (everything that had arrived was flushed just before the write).
Outcome Judge(Step step, double t, uint8_t expected, const std::vector<Timed>& schedule)
{
    const auto q = std::upper_bound(schedule.begin(), schedule.end(), t + kSlack,
                                    [](double x, const Timed& b) { return x < b.at; });
    const auto still_to_come = static_cast<std::size_t>(schedule.end() - q);
    const double stamp = step == Step::Handshake ? t + 0.05 : t;
    const double limit = step == Step::Flash ? 0.8 : 0.2;
    const double deadline = stamp + limit;
    const Outcome late{Verdict::Failure, deadline - 0.001, deadline + kAfter};
    constexpr double kNever = std::numeric_limits<double>::infinity();

    const std::size_t needed = step == Step::Handshake ? 6 : step == Step::Kernel ? 1 : 4;
    const double complete = still_to_come >= needed ? q[static_cast<long>(needed) - 1].at : kNever;
    if (complete > deadline + kAfter)
        return late;
    if (complete > deadline - kBefore)
        return {};

    const double at = std::max(complete, stamp);
    switch (step) {
    case Step::Handshake: return {q[1].byte == 0xB7 ? Verdict::Success : Verdict::Failure, at, at};
    case Step::Kernel:
        // Taken only when it is alone: a count that jumps past one never comes back to it.
        if (still_to_come > 1 && q[1].at <= complete + kSlack)
            return late;
        return {q[0].byte == expected ? Verdict::Success : Verdict::Failure, at, at};
    default: return {q[3].byte == expected ? Verdict::Success : Verdict::Failure, at, at};
    }
}

// ---------------------------------------------------------------- the checker

struct Expected {
    Step step;
    ByteVector packet;
    uint8_t sum;
    uint32_t flash_address;
};

std::vector<Expected> KernelPackets()
{
    ByteVector block(2048, 0);
    const auto kernel = MicroKernelImage();
    std::copy(kernel.begin() + 0x400, kernel.begin() + 0x400 + 2047, block.begin());
    std::vector<Expected> out;
    ByteVector packet;
    for (unsigned k = 0; k <= 1500; k += 64) {
        const unsigned address = 0x400 + k;
        packet = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        packet.insert(packet.end(), block.begin() + k, block.begin() + k + 64);
        out.push_back({Step::Kernel, packet, Sum(packet.data(), packet.size()), 0});
    }
    packet[0] = packet[1] = 0;
    out.push_back({Step::Kernel, packet, Sum(packet.data() + 2, 64), 0});
    return out;
}

std::vector<Expected> FlashPackets(const std::vector<uint8_t>& image)
{
    std::vector<Expected> out;
    auto add = [&](uint32_t address) {
        ByteVector packet = {0, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address)};
        packet.insert(packet.end(), image.begin() + address, image.begin() + address + 128);
        out.push_back({Step::Flash, packet, Sum(packet.data(), packet.size()), address});
    };
    for (uint32_t a = 0x2400; a < 0x2C00; a += 128)
        add(a);
    for (uint32_t a = 0x4000; a < 0x14000; a += 128)
        add(a);
    return out;
}

struct Walk {
    const std::vector<testing::ReceivedWrite>& writes;
    const std::vector<Timed>& schedule;
    std::size_t next = 0;   // the write to be explained next
    double lo = 0, hi = 0;  // when it is due; lo > hi when that cannot be known
    std::string flash_address;

    void Due(double from, double to) { lo = from, hi = to; }
    void Unknown() { lo = 1, hi = 0; }

    const testing::ReceivedWrite& Take(const ByteVector& packet, const std::string& what)
    {
        Expect(next < writes.size(), "the phase stopped before " + what);
        const auto& w = writes[next++];
        Expect(w.bytes == packet, "wrong bytes sent for " + what);
        if (lo <= hi)
            Expect(w.time >= lo - kExact && w.time <= hi + kExact, what + " sent at " + std::to_string(w.time) +
                                                                       ", due in [" + std::to_string(lo) + ", " +
                                                                       std::to_string(hi) + "]");
        return w;
    }

    // Up to `attempts` attempts of one packet; true when it was acknowledged.
    bool Exchange(const Expected& e, int attempts, const std::string& what)
    {
        for (int a = 0; a < attempts; ++a) {
            const auto& w = Take(e.packet, what + " attempt " + std::to_string(a + 1));
            const Outcome o = Judge(e.step, w.time, e.sum, schedule);
            Verdict v = o.verdict;
            if (v == Verdict::Open) {
                // Too close to the time-out to predict: what was sent next tells.
                if (next >= writes.size())
                    v = Verdict::Failure;
                else
                    v = writes[next].bytes == e.packet && a + 1 < attempts ? Verdict::Failure : Verdict::Success;
                Unknown();
            } else {
                Due(o.lo, o.hi);
            }
            if (v == Verdict::Success) {
                if (e.step == Step::Flash)
                    flash_address = std::to_string(e.flash_address);
                return true;
            }
        }
        return false;
    }
};

std::vector<std::string> Lines(std::initializer_list<const char*> lines)
{
    return {lines.begin(), lines.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    SimClock clock;
    testing::ScriptedLine line(clock);
    testing::ScriptedOpener opener(line);
    testing::RecordingWindow window;
    testing::PhaseRun phases(opener, clock, window);
    phases.run.Image.SelectFirmwareImage(kImage);
    Expect(phases.run.Image.ImageEnd != 0, "no working image");
    Expect(phases.port.Open(1).ok(), "the scripted port did not open");

    Loader loader(in, clock);
    line.SetResponder([&](const ByteVector& written) { return loader.Answer(written); });

    const double start = clock.Now();
    const UpdateEnding ending = LoaderPhase(phases.run).Run();
    const double finished = clock.Now();

    const auto writes = line.Writes();
    const auto schedule = loader.Schedule();
    Walk walk{writes, schedule, 0, 0, 0, {}};
    walk.Due(start, start);

    // What must have happened, step by step.
    UpdateEnding predicted = UpdateEnding::Completed;
    const ByteVector handshake = {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00};
    for (int h = 0; h < 4 && predicted == UpdateEnding::Completed; ++h) {
        const auto& w = walk.Take(handshake, "handshake " + std::to_string(h + 1));
        Outcome o = Judge(Step::Handshake, w.time, 0, schedule);
        if (o.verdict == Verdict::Open) {
            o.verdict = walk.next < writes.size() ? Verdict::Success : Verdict::Failure;
            walk.Unknown();
        } else {
            walk.Due(o.lo, o.hi);
        }
        // The fourth handshake's answer does not matter.
        if (h < 3 && o.verdict == Verdict::Failure)
            predicted = UpdateEnding::HandshakeFailed;
    }
    std::vector<std::string> log = Lines({"DOWNLOADING microKernel", "PLEASE WAIT..."});
    if (predicted == UpdateEnding::HandshakeFailed)
        for (const char* line_text :
             {"", "ATTENZIONE: la centrale non entra in programmazione; firmware non aggiornato",
              "WARNING: the panel did not enter its loader; the firmware was not updated"})
            log.push_back(line_text);
    const char* box = nullptr;
    if (predicted == UpdateEnding::Completed) {
        const auto kernel = KernelPackets();
        for (std::size_t p = 0; p < kernel.size(); ++p) {
            if (p + 1 == kernel.size() && walk.lo <= walk.hi)
                walk.Due(walk.lo + 0.05, walk.hi + 0.05);
            if (!walk.Exchange(kernel[p], 4, "microKernel packet " + std::to_string(p))) {
                predicted = UpdateEnding::MicroKernelFailed;
                box = "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata";
                break;
            }
        }
    }
    if (predicted == UpdateEnding::Completed) {
        log.push_back("ERASING FLASH...");
        if (walk.lo <= walk.hi)
            walk.Due(walk.lo + 8.0, walk.hi + 8.0);
        log.push_back("Writing Flash ");
        log.push_back("PLEASE WAIT...");
        for (const Expected& e : FlashPackets(phases.run.Image.ImageBuffer)) {
            if (!walk.Exchange(e, 4, "flash packet " + std::to_string(e.flash_address))) {
                predicted = UpdateEnding::FlashFailed;
                box = "ATTENZIONE: errore irreversibile di programmazione firmware";
                break;
            }
        }
    }
    if (predicted == UpdateEnding::Completed) {
        for (const char* line_text : {"", "FLASH AGGIORNATA.. RIAVVIO CENTRALE", "FLASH UPDATED... PANEL RESTART",
                                      "", "ATTENDERE , PLEASE WAIT"})
            log.push_back(line_text);
        walk.Take(ByteVector(132, 0), "end packet");
        if (walk.lo <= walk.hi)
            walk.Due(walk.lo + 8.0, walk.hi + 8.0);
        for (const char* line_text : {"", "Aggiornamento Terminato", "programming END", ""})
            log.push_back(line_text);
    }

    Expect(walk.next == writes.size(), "more was sent than the phase's rules allow");
    Expect(ending == predicted, "ending " + std::to_string(static_cast<int>(ending)) + ", expected " +
                                    std::to_string(static_cast<int>(predicted)));
    if (walk.lo <= walk.hi)
        Expect(finished >= walk.lo - kExact && finished <= walk.hi + kExact,
               "the phase ended at " + std::to_string(finished) + ", due in [" + std::to_string(walk.lo) + ", " +
                   std::to_string(walk.hi) + "]");
    Expect(window.log == log, "the log differs from the ending's lines");
    Expect(window.boxes.size() == (box ? 1u : 0u), "wrong number of message boxes");
    if (box)
        Expect(window.boxes[0].Text == box && window.boxes[0].Title == kProgramName, "wrong message box");
    Expect(window.flash_address == walk.flash_address, "FlashAddress shows \"" + window.flash_address + "\"");
    Expect(window.button_enabled == (ending != UpdateEnding::Completed), "button state wrong for the ending");

    // Between two writes the input is looked at a few times per arrival, not in a loop.
    const std::vector<long> looks = line.LooksAfterWrite();
    auto arrival = schedule.begin();
    for (std::size_t i = 1; i < looks.size(); ++i) {
        const double from = writes[i - 1].time;
        const double to = i < writes.size() ? writes[i].time : finished;
        while (arrival != schedule.end() && arrival->at <= from)
            ++arrival;
        long moments = 0;
        for (double last = -1; arrival != schedule.end() && arrival->at <= to + kSlack; ++arrival) {
            if (arrival->at != last)
                ++moments;
            last = arrival->at;
        }
        Expect(looks[i] <= 4 * moments + 16,
               std::to_string(looks[i]) + " looks at the input after write " + std::to_string(i));
    }
    return 0;
}
