#pragma once
// One exchange with the panel's loader: stale input discarded, the packet
// sent, its acknowledgement awaited and judged by the packet's own rule
// (protocol/loader_packets.h). Attempts, re-opens and stops are the caller's.

#include "comm/serial_port.h"
#include "core/clock.h"
#include "protocol/link_result.h"
#include "protocol/loader_packets.h"

namespace varnox {

// NoAnswer when the reply did not come (or not as the rule wants it) in time,
// BadChecksum when its check byte differs; with what the port knows of why.
// A packet that awaits no reply (the end packet) is only sent.
LinkResult ExchangeLoaderPacket(SerialPort& port, Clock& clock, const LoaderPacket& packet);

}  // namespace varnox
