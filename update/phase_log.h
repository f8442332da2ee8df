#pragma once
// What a run's phases went through, as the run record keeps it: when each
// began and ended, when its attempts failed and its port came back, in
// seconds since the run's start on the run's own clock, and what failed, by
// kind, with the last words given for each kind.

#include <string>
#include <vector>

#include "core/clock.h"
#include "record/run_record.h"

namespace varnox {

namespace phase {
inline constexpr const char* kIdentity = "identity";
inline constexpr const char* kEeprom = "eeprom";
inline constexpr const char* kHandshake = "handshake";
inline constexpr const char* kMicroKernel = "microkernel";
inline constexpr const char* kFlash = "flash";
inline constexpr const char* kVerification = "verification";
}  // namespace phase

class PhaseLog {
public:
    // `origin` is the run's start on `clock`.
    PhaseLog(Clock& clock, double origin) : clock_(clock), origin_(origin) {}

    // Ends the phase under way, if any, and begins `name`.
    void Begin(const char* name);
    // Ends the phase under way, if any.
    void End();
    // A failed attempt of the phase under way, of `kind`, with its words.
    void Failed(const std::string& kind, const std::string& words);
    // The phase under way got its port back.
    void Reconnected();

    // Failed attempts of phase `name`; port re-opens of the whole run.
    int FailuresOf(const char* name) const;
    int Reconnections() const { return reconnections_; }
    const std::vector<PhaseRecord>& Phases() const { return phases_; }

private:
    // To the millisecond, as the record keeps them.
    double Seconds() const;
    PhaseRecord* Current();

    Clock& clock_;
    double origin_;
    std::vector<PhaseRecord> phases_;
    bool open_ = false;
    int reconnections_ = 0;
};

}  // namespace varnox
