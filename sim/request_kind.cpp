#include "sim/request_kind.h"

#include <array>

namespace varnox {
namespace {

struct KindRow {
    RequestKind Kind;
    const char* Name;
};

constexpr std::array<KindRow, kRequestKindCount> kKinds = {{
    {RequestKind::ReadMemory, "read-memory"},
    {RequestKind::ReadEeprom, "read-eeprom"},
    {RequestKind::WriteEeprom, "write-eeprom"},
    {RequestKind::WriteMemory, "write-memory"},
    {RequestKind::Handshake, "handshake"},
    {RequestKind::MicroKernel, "microkernel"},
    {RequestKind::Closing, "closing"},
    {RequestKind::Flash, "flash"},
    {RequestKind::End, "end"},
}};

}  // namespace

const char* RequestKindName(RequestKind kind)
{
    for (const KindRow& row : kKinds)
        if (row.Kind == kind)
            return row.Name;
    return "?";
}

std::optional<RequestKind> ParseRequestKind(std::string_view name)
{
    for (const KindRow& row : kKinds)
        if (name == row.Name)
            return row.Kind;
    return std::nullopt;
}

}  // namespace varnox
