// Writes the reports the printed-report test sends through a browser:
// sample.html (a whole run with its phases, also the docs' picture) and
// crowded.html (every text too long, too many phases and marks), which must
// still print on one page.

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
    for (std::string* text : {&crowded.Technician, &crowded.Port, &crowded.Program, &crowded.Version,
                              &crowded.Ending, &crowded.Verification})
        *text = long_text;
    crowded.Adapter = crowded.FirmwareBefore = long_text;
    crowded.Image->Name = crowded.Image->Sha256 = long_text;
    PhaseRecord phase{long_text, 0, 1e9, std::vector<double>(5000, 3.0), std::vector<double>(5000, 4.0), {}};
    for (int kind = 0; kind < 20; ++kind)
        phase.Failures.push_back({long_text, 1000000, long_text});
    crowded.Phases.assign(40, phase);
    std::ofstream(folder + "/crowded.html") << RunReportHtml(crowded);
    return 0;
}
