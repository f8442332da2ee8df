// The reports the printed-report test sends through a browser: sample.html (a whole run, also
// docs/report.png) and crowded.html (every text too long, too many phases and marks).

#include <fstream>
#include <string>

#include "record/run_report.h"
#include "tests/record/sample_records.h"

int main(int argc, char** argv)
{
    using namespace varnox;
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    std::ofstream(folder + "/sample.html") << RunReportHtml(test::CompletedRunWithPhases());

    RunRecord crowded = test::CompletedRunWithPhases();
    const std::string long_text(3000, 'W');
    crowded.Technician = crowded.Port = crowded.Program = crowded.Version = crowded.Ending = crowded.Verification =
        crowded.Image->Name = crowded.Image->Sha256 = long_text;
    crowded.Adapter = crowded.FirmwareBefore = long_text;
    PhaseRecord phase{long_text, 0, 1e9, std::vector<double>(5000, 3.0), std::vector<double>(5000, 4.0), {}};
    phase.Failures.assign(20, {long_text, 1000000, long_text});
    crowded.Phases.assign(40, phase);
    std::ofstream(folder + "/crowded.html") << RunReportHtml(crowded);
    return 0;
}
