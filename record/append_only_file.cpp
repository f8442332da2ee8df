#include "record/append_only_file.h"

#include <cerrno>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace varnox {

#ifdef _WIN32
int OpenAppendOnly(const std::filesystem::path& file)
{
    // Reading too: the last byte tells whether the file ends in a torn line.
    const HANDLE handle =
        CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        errno = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT
                : code == ERROR_ACCESS_DENIED                                ? EACCES
                                                                             : EIO;
        return -1;
    }
    // Without _O_APPEND: the system, not the C runtime, puts the writes at the end.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}
#else
int OpenAppendOnly(const std::filesystem::path& file)
{
    return ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}
#endif

}  // namespace varnox
