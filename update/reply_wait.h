#pragma once
// Waiting for a reply of the loader's byte protocol. The decisions are those of
// a tight poll of the input count against a deadline, but the thread sleeps on
// the port between arrivals instead of spinning.

#include "comm/serial_port.h"
#include "core/clock.h"

namespace varnox {

struct ReplyRule {
    long Bytes;    // how many bytes make the reply
    bool Exactly;  // true: exactly Bytes must be waiting; false: at least Bytes
    double Limit;  // seconds after the stamp; the reply is late once more than this has elapsed
};

// Waits until the input count satisfies `rule` (true: the reply is there) or
// more than rule.Limit seconds have elapsed since `stamp` (false). A count
// that can no longer satisfy an "exactly" rule simply runs into the deadline.
bool ReplyArrived(SerialPort& port, Clock& clock, double stamp, const ReplyRule& rule);

}  // namespace varnox
