// Lists the shortcuts in one folder of all users' Start menu, as the shell
// resolves them, for the installer's Wine test:
//
//   shortcut_info FOLDER     one line per shortcut:
//                            NAME|TARGET|ARGUMENTS|WORKING_DIRECTORY
// Exit status 1: the folder does not exist; 2: usage or shell failure.

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Wide(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Utf8(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

// NAME|TARGET|ARGUMENTS|WORKING_DIRECTORY of one .lnk file; false if the
// shell cannot read it.
bool DescribeShortcut(const std::wstring& path, const std::wstring& name, std::string& line)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"";
    wchar_t arguments[1024] = L"";
    wchar_t directory[MAX_PATH] = L"";
    const bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                    SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
                    SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                    SUCCEEDED(link->GetArguments(arguments, 1024)) &&
                    SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH));
    if (file)
        file->Release();
    link->Release();
    line = Utf8(name) + "|" + Utf8(target) + "|" + Utf8(arguments) + "|" + Utf8(directory);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: shortcut_info FOLDER\n", stderr);
        return 2;
    }
    wchar_t programs[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return 2;
    const std::wstring folder = std::wstring(programs) + L"\\" + Wide(argv[1]);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 1;

    if (FAILED(CoInitialize(nullptr)))
        return 2;
    int status = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*.lnk").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            name.resize(name.size() - 4);  // without ".lnk"
            std::string line;
            if (!DescribeShortcut(folder + L"\\" + found.cFileName, name, line)) {
                std::fprintf(stderr, "shortcut_info: cannot read %s\n", Utf8(found.cFileName).c_str());
                status = 2;
            }
            std::printf("%s\n", line.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    CoUninitialize();
    return status;
}
