#include "protocol/link_result.h"

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

}  // namespace varnox
