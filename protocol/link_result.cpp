#include "protocol/link_result.h"

#include "comm/serial_port.h"

namespace varnox {

const char* LinkFailureText(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None: return "";
    case LinkFailure::NoAnswer: return kNoAnswerText;
    case LinkFailure::BadData: return kBadDataText;
    case LinkFailure::BadChecksum: return kBadChecksumText;
    case LinkFailure::CountTooLarge: return kCountTooLargeText;
    }
    return "";
}

std::string FailureKind(const LinkResult& result)
{
    if (result.port.kind == CommFailure::WriteFailed)
        return "write-failed";
    if (result.gone || result.port.kind == CommFailure::ReadFailed)
        return "gone";
    if (result.port.kind == CommFailure::NotOpen)
        return "not-open";
    if (const std::string line = LineErrorKind(result.line_errors | result.port.line_errors); !line.empty())
        return line;
    switch (result.failure) {
    case LinkFailure::NoAnswer: return "no-answer";
    case LinkFailure::BadData: return "bad-data";
    case LinkFailure::BadChecksum: return "bad-checksum";
    case LinkFailure::CountTooLarge: return "count-too-large";
    case LinkFailure::None: break;
    }
    return "";
}

std::string FailureWords(const LinkResult& result)
{
    return result.port.system;
}

}  // namespace varnox
