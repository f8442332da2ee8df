// The run record's append-only handle on Windows: a write lands at the end of
// the file even when it names another place, as a second program's write
// between our seek and our write would make it.

#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "record/append_only_file.h"

namespace varnox {
namespace {

TEST(RecordAppendWin32, WritesGoToTheEndWhateverOffsetTheyName)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "varnox-append-test.jsonl";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "first program's line\n";

    const int fd = OpenAppendOnly(file);
    ASSERT_GE(fd, 0);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // A write aimed at offset 0 stands for one aimed at an end that has moved since.
    OVERLAPPED at_start{};
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "ours\n", 5, &written, &at_start));
    EXPECT_EQ(_close(fd), 0);

    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "first program's line\nours\n");
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace varnox
