#include "sim/panel_fault.h"

#include <array>
#include <bit>
#include <charconv>
#include <vector>

namespace varnox {
namespace {

constexpr unsigned Bit(RequestKind kind)
{
    return 1u << static_cast<unsigned>(kind);
}

// Kinds whose reply is a service-protocol frame, and kinds with any reply.
constexpr unsigned kFramed = Bit(RequestKind::ReadMemory) | Bit(RequestKind::ReadEeprom) |
                             Bit(RequestKind::WriteEeprom) | Bit(RequestKind::WriteMemory) |
                             Bit(RequestKind::Handshake);
constexpr unsigned kAnswered =
    kFramed | Bit(RequestKind::MicroKernel) | Bit(RequestKind::Closing) | Bit(RequestKind::Flash);
// A one-byte acknowledgement cannot be split or shortened.
constexpr unsigned kMultiByte = kFramed | Bit(RequestKind::Flash);
constexpr unsigned kAcknowledged = Bit(RequestKind::Handshake) | Bit(RequestKind::MicroKernel) |
                                   Bit(RequestKind::Closing) | Bit(RequestKind::Flash);
constexpr unsigned kStoring = Bit(RequestKind::WriteEeprom) | Bit(RequestKind::WriteMemory);
// The faults of the restart hang on the end packet, which is never answered.
constexpr unsigned kRestart = Bit(RequestKind::End);

struct FaultRow {
    PanelFaultType Type;
    const char* Name;
    unsigned Kinds;      // the request kinds it may be scripted for
    bool TakesCount;     // Silent, Pull and SilentAfterRestart last for ever
    const char* Effect;  // for --help
};

constexpr std::array<FaultRow, 16> kFaultTypes = {{
    {PanelFaultType::NoAnswer, "no-answer", kAnswered, true, "carry the request out, send no reply"},
    {PanelFaultType::BadCrc, "bad-crc", kFramed, true, "reply frame with a wrong check byte"},
    {PanelFaultType::BadCobs, "bad-cobs", kFramed, true, "reply frame whose first code byte is 0xFF"},
    {PanelFaultType::ExtraByte, "extra-byte", kAnswered, true, "one byte 0x55 after the reply"},
    {PanelFaultType::Split, "split", kMultiByte, true, "last reply byte only after the tool's last look"},
    {PanelFaultType::Late, "late", kAnswered, true, "whole reply only after the tool's last look"},
    {PanelFaultType::WrongAck, "wrong-ack", kAcknowledged, true,
     "handshake byte 1 0x48 (not 0xB7); microKernel or flash sum + 1"},
    {PanelFaultType::DoubleAck, "double-ack", kAnswered, true, "the reply sent twice"},
    {PanelFaultType::ShortReply, "short-reply", kMultiByte, true, "the reply without its last byte"},
    {PanelFaultType::Silent, "silent", kAnswered, false, "from this request on, answer nothing"},
    {PanelFaultType::Pull, "pull", kAnswered, false, "from this request on, the adapter is gone"},
    {PanelFaultType::PullReturn, "pull-return", kAnswered, true, "the adapter goes, back on a new port later"},
    {PanelFaultType::StoreWrong, "store-wrong", kStoring, true,
     "acknowledge as usual, store the last byte inverted"},
    {PanelFaultType::EarlyAck, "early-ack", Bit(RequestKind::WriteEeprom), true,
     "acknowledge at once, store during the write time after it"},
    {PanelFaultType::SilentAfterRestart, "silent-after-restart", kRestart, false, "restart, then answer nothing"},
    {PanelFaultType::OldIdentity, "old-identity", kRestart, true,
     "restart with the identity block of before the update"},
}};

const FaultRow* FindRow(PanelFaultType type)
{
    for (const FaultRow& row : kFaultTypes)
        if (row.Type == type)
            return &row;
    return nullptr;
}

std::vector<std::string_view> SplitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos)
            return fields;
        start = colon + 1;
    }
}

bool ParsePositive(std::string_view field, unsigned& value)
{
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end && value > 0;
}

}  // namespace

bool PanelFault::Applies(RequestKind kind, unsigned ordinal) const
{
    if (kind != Kind || ordinal < First)
        return false;
    const FaultRow* row = FindRow(Type);
    if (row != nullptr && !row->TakesCount)
        return true;
    return ordinal - First < Count;
}

const char* PanelFaultTypeName(PanelFaultType type)
{
    const FaultRow* row = FindRow(type);
    return row != nullptr ? row->Name : "?";
}

std::optional<PanelFault> ParsePanelFault(std::string_view text, std::string& error)
{
    const std::string quoted = "fault \"" + std::string(text) + "\": ";
    std::vector<std::string_view> fields = SplitFields(text);
    const FaultRow* row = nullptr;
    for (const FaultRow& candidate : kFaultTypes)
        if (fields[0] == candidate.Name)
            row = &candidate;
    // A fault of the restart has one kind; bare, it means the first end packet.
    if (fields.size() == 1 && row != nullptr && row->Kinds == kRestart)
        fields = {fields[0], RequestKindName(RequestKind::End), "1"};
    if (fields.size() < 3 || fields.size() > 4) {
        error = quoted + "expected TYPE:KIND:N[:COUNT]";
        return std::nullopt;
    }
    if (row == nullptr) {
        error = quoted + "unknown fault type \"" + std::string(fields[0]) + "\"";
        return std::nullopt;
    }

    const std::optional<RequestKind> kind = ParseRequestKind(fields[1]);
    if (!kind) {
        error = quoted + "unknown request kind \"" + std::string(fields[1]) + "\"";
        return std::nullopt;
    }
    if ((row->Kinds & Bit(*kind)) == 0) {
        error = quoted + row->Name + " does not apply to " + RequestKindName(*kind);
        return std::nullopt;
    }

    PanelFault fault;
    fault.Type = row->Type;
    fault.Kind = *kind;
    if (!ParsePositive(fields[2], fault.First)) {
        error = quoted + "N must be a whole number from 1 on";
        return std::nullopt;
    }
    if (fields.size() == 4) {
        if (!row->TakesCount) {
            error = quoted + row->Name + " lasts for ever and takes no COUNT";
            return std::nullopt;
        }
        if (!ParsePositive(fields[3], fault.Count)) {
            error = quoted + "COUNT must be a whole number from 1 on";
            return std::nullopt;
        }
    }
    return fault;
}

std::string PanelFaultText(const PanelFault& fault)
{
    std::string text = std::string(PanelFaultTypeName(fault.Type)) + ":" + RequestKindName(fault.Kind) + ":" +
                       std::to_string(fault.First);
    const FaultRow* row = FindRow(fault.Type);
    if (row != nullptr && row->TakesCount && fault.Count != 1)
        text += ":" + std::to_string(fault.Count);
    return text;
}

std::string PanelFaultHelp(std::size_t indent)
{
    const std::size_t effect_column = indent + 13;
    std::string help;
    for (const FaultRow& row : kFaultTypes) {
        std::string line = std::string(indent, ' ') + row.Name;
        // A long name has its effect on the next line.
        if (line.size() >= effect_column)
            line += "\n" + std::string(effect_column, ' ');
        else
            line.resize(effect_column, ' ');
        line += row.Effect;
        // Name the shorter of the kinds it applies to and the answered kinds it does not.
        const unsigned excluded = kAnswered & ~row.Kinds;
        const bool list_excluded = std::popcount(excluded) < std::popcount(row.Kinds);
        if (excluded == 0) {
            line += " (any kind)";
        } else {
            line += "\n" + std::string(effect_column, ' ') + (list_excluded ? "any kind but" : "kinds:");
            for (std::size_t k = 0; k < kRequestKindCount; ++k)
                if (((list_excluded ? excluded : row.Kinds) & (1u << k)) != 0)
                    line += std::string(" ") + RequestKindName(static_cast<RequestKind>(k));
        }
        help += line + "\n";
    }
    return help;
}

}  // namespace varnox
