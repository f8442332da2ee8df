#include "record/run_record_json.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "record/utc_time.h"

namespace varnox {

namespace {

// Keeps the keys in the order they are written, so that a line reads well.
using Json = nlohmann::ordered_json;

// Thrown while reading a line that is no record; caught in RecordFromJsonLine.
struct Unreadable {};

// "00 00 00 20 03 04"
std::string IdentityText(const IdentityBytes& bytes)
{
    std::string text;
    for (uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", unsigned(byte));
        text += pair;
    }
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

IdentityBytes ParseIdentity(const std::string& text)
{
    IdentityBytes bytes{};
    if (text.size() != bytes.size() * 3 - 1)
        throw Unreadable{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const size_t at = i * 3;
        const int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0 || (at + 2 < text.size() && text[at + 2] != ' '))
            throw Unreadable{};
        bytes[i] = uint8_t(high * 16 + low);
    }
    return bytes;
}

const Json& Field(const Json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end())
        throw Unreadable{};
    return *it;
}

// A field a reader may miss; a null counts as missing.
const Json* OptionalField(const Json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string Text(const Json& value)
{
    if (!value.is_string())
        throw Unreadable{};
    return value.get<std::string>();
}

int Integer(const Json& value)
{
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        if (number > uint64_t(INT_MAX))
            throw Unreadable{};
        return int(number);
    }
    if (!value.is_number_integer())
        throw Unreadable{};
    const auto number = value.get<int64_t>();
    if (number < INT_MIN || number > INT_MAX)
        throw Unreadable{};
    return int(number);
}

bool Flag(const Json& value)
{
    if (!value.is_boolean())
        throw Unreadable{};
    return value.get<bool>();
}

std::chrono::system_clock::time_point Time(const Json& value)
{
    const auto time = ParseIsoUtc(Text(value));
    if (!time)
        throw Unreadable{};
    return *time;
}

double Number(const Json& value)
{
    if (!value.is_number())
        throw Unreadable{};
    return value.get<double>();
}

// Seconds since the run's start, kept to the millisecond.
double Milliseconds(double seconds)
{
    return std::round(seconds * 1000.0) / 1000.0;
}

Json Times(const std::vector<double>& seconds)
{
    Json times = Json::array();
    for (const double t : seconds)
        times.push_back(Milliseconds(t));
    return times;
}

std::vector<double> ReadTimes(const Json& phase, const char* key)
{
    std::vector<double> times;
    if (const Json* list = OptionalField(phase, key)) {
        if (!list->is_array())
            throw Unreadable{};
        for (const Json& t : *list)
            times.push_back(Number(t));
    }
    return times;
}

// "phases": [{"name", "start", "end", "failed_at", "reconnected_at"}, ...] and
// "failures": {phase name: [{"kind", "count", "last"}, ...]}, phases without failures left out.
void WritePhases(Json& line, const std::vector<PhaseRecord>& phases)
{
    if (phases.empty())
        return;
    Json failures = Json::object();
    for (const PhaseRecord& phase : phases) {
        for (const FailureCount& failure : phase.Failures)
            failures[phase.Name].push_back(
                {{"kind", failure.Kind}, {"count", failure.Count}, {"last", failure.LastText}});
    }
    if (!failures.empty())
        line["failures"] = failures;
    Json list = Json::array();
    for (const PhaseRecord& phase : phases) {
        list.push_back({{"name", phase.Name},
                        {"start", Milliseconds(phase.Start)},
                        {"end", Milliseconds(phase.End)},
                        {"failed_at", Times(phase.FailedAt)},
                        {"reconnected_at", Times(phase.ReconnectedAt)}});
    }
    line["phases"] = list;
}

void ReadPhases(const Json& line, RunRecord& record)
{
    if (const Json* phases = OptionalField(line, "phases")) {
        if (!phases->is_array())
            throw Unreadable{};
        for (const Json& phase : *phases) {
            if (!phase.is_object())
                throw Unreadable{};
            PhaseRecord read;
            read.Name = Text(Field(phase, "name"));
            read.Start = Number(Field(phase, "start"));
            read.End = Number(Field(phase, "end"));
            read.FailedAt = ReadTimes(phase, "failed_at");
            read.ReconnectedAt = ReadTimes(phase, "reconnected_at");
            record.Phases.push_back(std::move(read));
        }
    }
    const Json* failures = OptionalField(line, "failures");
    if (!failures)
        return;
    if (!failures->is_object())
        throw Unreadable{};
    for (const auto& item : failures->items()) {
        // Named copies: clang 14 (the fuzzing build) cannot capture a structured binding.
        const std::string name = item.key();
        const Json& list = item.value();
        if (!list.is_array())
            throw Unreadable{};
        // Beside the phase of that name; a phase the list does not give still keeps its failures.
        auto phase = std::find_if(record.Phases.begin(), record.Phases.end(),
                                  [&name](const PhaseRecord& p) { return p.Name == name; });
        if (phase == record.Phases.end()) {
            record.Phases.push_back(PhaseRecord{name, 0, 0, {}, {}, {}});
            phase = record.Phases.end() - 1;
        }
        for (const Json& failure : list) {
            if (!failure.is_object())
                throw Unreadable{};
            phase->Failures.push_back(FailureCount{Text(Field(failure, "kind")), Integer(Field(failure, "count")),
                                                   Text(Field(failure, "last"))});
        }
    }
}

RunRecord ReadRecord(const Json& line)
{
    if (!line.is_object() || Integer(Field(line, "record")) < 1)
        throw Unreadable{};
    RunRecord record;
    record.Start = Time(Field(line, "start"));
    record.End = Time(Field(line, "end"));
    record.Program = Text(Field(line, "program"));
    record.Version = Text(Field(line, "version"));
    record.Port = Text(Field(line, "port"));
    if (const Json* adapter = OptionalField(line, "adapter"))
        record.Adapter = Text(*adapter);
    if (const Json* identity = OptionalField(line, "identity_before"))
        record.IdentityBefore = ParseIdentity(Text(*identity));
    if (const Json* firmware = OptionalField(line, "firmware_before"))
        record.FirmwareBefore = Text(*firmware);
    if (const Json* image = OptionalField(line, "image")) {
        if (!image->is_object())
            throw Unreadable{};
        record.Image = RecordedImage{Text(Field(*image, "name")), Text(Field(*image, "sha256")),
                                     Flag(Field(*image, "stand_in"))};
    }
    const Json& failed = Field(line, "failed_attempts");
    if (!failed.is_object())
        throw Unreadable{};
    record.Failed.Eeprom = Integer(Field(failed, "eeprom"));
    record.Failed.Handshake = Integer(Field(failed, "handshake"));
    record.Failed.MicroKernel = Integer(Field(failed, "microkernel"));
    record.Failed.Flash = Integer(Field(failed, "flash"));
    record.Reopens = Integer(Field(line, "reopens"));
    record.Ending = Text(Field(line, "ending"));
    record.Verification = Text(Field(line, "verification"));
    if (const Json* identity = OptionalField(line, "identity_after"))
        record.IdentityAfter = ParseIdentity(Text(*identity));
    record.ExitStatus = Integer(Field(line, "exit_status"));
    if (const Json* technician = OptionalField(line, "technician"))
        record.Technician = Text(*technician);
    ReadPhases(line, record);
    return record;
}

}  // namespace

std::string RecordToJsonLine(const RunRecord& record)
{
    Json line;
    line["record"] = kRecordFormat;
    line["start"] = IsoUtc(record.Start);
    line["end"] = IsoUtc(record.End);
    line["program"] = record.Program;
    line["version"] = record.Version;
    line["port"] = record.Port;
    if (record.Adapter)
        line["adapter"] = *record.Adapter;
    if (record.IdentityBefore)
        line["identity_before"] = IdentityText(*record.IdentityBefore);
    if (record.FirmwareBefore)
        line["firmware_before"] = *record.FirmwareBefore;
    if (record.Image) {
        line["image"] = {
            {"name", record.Image->Name}, {"sha256", record.Image->Sha256}, {"stand_in", record.Image->StandIn}};
    }
    line["failed_attempts"] = {{"eeprom", record.Failed.Eeprom},
                               {"handshake", record.Failed.Handshake},
                               {"microkernel", record.Failed.MicroKernel},
                               {"flash", record.Failed.Flash}};
    line["reopens"] = record.Reopens;
    line["ending"] = record.Ending;
    line["verification"] = record.Verification;
    if (record.IdentityAfter)
        line["identity_after"] = IdentityText(*record.IdentityAfter);
    line["exit_status"] = record.ExitStatus;
    if (!record.Technician.empty())
        line["technician"] = record.Technician;
    WritePhases(line, record.Phases);
    // A device path need not be UTF-8; its odd bytes become U+FFFD rather than
    // an exception that would lose the whole record.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<RunRecord> RecordFromJsonLine(std::string_view line)
{
    const Json parsed = Json::parse(line.begin(), line.end(), nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded())
        return std::nullopt;
    try {
        return ReadRecord(parsed);
    } catch (const Unreadable&) {
        return std::nullopt;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

RecordLog ParseRecordLines(std::string_view text)
{
    RecordLog log;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == text.npos ? std::string_view{} : text.substr(end + 1);
        if (line.find_first_not_of(" \t\r") == line.npos)
            continue;
        if (auto record = RecordFromJsonLine(line))
            log.Records.push_back(std::move(*record));
        else
            ++log.SkippedLines;
    }
    return log;
}

}  // namespace varnox
