// Runs a fuzz target over saved inputs (files, or every file of a folder)
// without libFuzzer, so the seed corpus and any reproducer from a fuzz run
// are checked by every build, sanitizers included.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (!entry.is_regular_file())
                    continue;
                failures += RunFile(entry.path());
                ++runs;
            }
        } else {
            failures += RunFile(path);
            ++runs;
        }
    }
    std::printf("%d inputs replayed\n", runs);
    // An empty corpus proves nothing; treat it as a mistake in the test set-up.
    return failures == 0 && runs > 0 ? 0 : 1;
}
