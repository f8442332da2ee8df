#pragma once
// The one wait on the port: sleep until enough bytes are waiting or a deadline
// has passed, without spinning. The service protocol's fast looks and the
// loader's replies both wait through it.

#include "comm/serial_port.h"
#include "core/clock.h"

namespace varnox {

// How many waiting bytes end the wait.
struct InputWanted {
    long Bytes;
    bool Exactly = false;  // true: exactly Bytes; a count past it can only run into the deadline

    bool SatisfiedBy(long waiting) const { return Exactly ? waiting == Bytes : waiting >= Bytes; }
};

// When a wait gives up, in one of the two ways its callers measure it.
class InputDeadline {
public:
    // Passed once the clock reaches `instant`.
    static InputDeadline At(double instant) { return {instant, 0, false}; }
    // Passed once more than `limit` seconds have elapsed since `stamp`
    // (core/time_stamp.h), measured to the millisecond: a reply exactly at
    // the limit is still in time.
    static InputDeadline AfterStamp(double stamp, double limit) { return {stamp, limit, true}; }

    // Seconds still to wait; zero or less once the deadline has passed.
    double Left(Clock& clock) const;

private:
    InputDeadline(double at, double limit, bool stamped) : at_(at), limit_(limit), stamped_(stamped) {}

    double at_;
    double limit_;
    bool stamped_;
};

// Waits until `wanted` is satisfied or `deadline` has passed; returns the
// bytes waiting at that moment.
long AwaitInput(SerialPort& port, Clock& clock, InputWanted wanted, const InputDeadline& deadline);

}  // namespace varnox
