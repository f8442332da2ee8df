#include "protocol/loader_exchange.h"

#include "core/time_stamp.h"
#include "protocol/input_wait.h"

namespace varnox {

namespace {

LinkResult Failed(SerialPort& port, LinkFailure failure, const CommResult& call)
{
    LinkResult result = LinkResult::Failed(failure, call);
    result.line_errors = port.TakeLineErrors();
    result.gone = port.NeedsReopen();
    return result;
}

}  // namespace

LinkResult ExchangeLoaderPacket(SerialPort& port, Clock& clock, const LoaderPacket& packet)
{
    const LoaderAck& ack = packet.Ack;
    port.DiscardInput(clock);
    const CommResult sent = port.Send(packet.Bytes.data(), packet.Length);
    if (ack.Bytes == 0)
        return sent.ok() ? LinkResult{} : Failed(port, LinkFailure::NoAnswer, sent);
    if (ack.PauseMs > 0)
        clock.Pause(ack.PauseMs);
    const double stamp = TimeStamp(clock);

    // Only the rule's bytes are taken; anything beyond goes with the next discard.
    const auto wanted = static_cast<long>(ack.Bytes);
    if (!InputWanted{wanted, ack.Exactly}.SatisfiedBy(
            AwaitInput(port, clock, {wanted, ack.Exactly}, InputDeadline::AfterStamp(stamp, ack.TimeoutSeconds))))
        return Failed(port, LinkFailure::NoAnswer, sent);
    uint8_t reply[kFlashPacketLength] = {};
    const Received received = port.Receive(reply, ack.Bytes);
    if (received.count != ack.Bytes)
        return Failed(port, LinkFailure::NoAnswer, sent.failed() ? sent : received.result);
    // Every attempt compares with the packet's own check byte, also after a reply with a wrong one.
    if (reply[ack.CheckIndex] != packet.ExpectedSum)
        return Failed(port, LinkFailure::BadChecksum, sent);
    return {};
}

}  // namespace varnox
