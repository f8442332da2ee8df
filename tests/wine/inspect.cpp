// Looks at the running varnox-patch.exe from another process under the same
// wineserver: child controls are no X windows, so the Wine tests read them
// with the messages that work across processes.
//
//   inspect state               the window's state, one "key=value" a line
//   inspect wait-line TEXT S    waits up to S seconds until the log holds a
//                               line equal to TEXT; exit status 1 if not
//   inspect wait-idle S         waits up to S seconds until Button5 is enabled
//   inspect wait-box S          waits up to S seconds for a message box of the
//                               window and prints its title and text
//   inspect menu CAPTION        chooses the menu item CAPTION (after the port
//                               menu), as a click on it does
//   inspect read-history S      waits up to S seconds for the RUN HISTORY
//                               dialog, prints its columns and rows, closes it
//   inspect fit                 checks that every shown control lies inside
//                               its parent, overlaps no other and shows its
//                               whole text at the screen's dpi; prints what
//                               does not, exit status 1 then
// Exit status 2: no window found.

#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/gauge_percent.h"
#include "ui/core/dpi_scale.h"
#include "ui/core/form_layout.h"
#include "ui/win32/control_fonts.h"
#include "ui/win32/history_dialog.h"
#include "ui/win32/verdict_band.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_menu_bar.h"

namespace varnox {
namespace {

HWND FindForm()
{
    return FindWindowW(L"TForm1", nullptr);
}

std::wstring TextOf(HWND window)
{
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::vector<std::wstring> LogLines(HWND form)
{
    std::vector<std::wstring> lines;
    const std::wstring text = TextOf(GetDlgItem(form, kMessaggio));
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 2;
    }
    return lines;
}

void Print(const std::string& key, const std::string& value)
{
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

void PrintControl(const std::string& name, HWND control, HWND parent)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    char place[64];
    std::snprintf(place, sizeof place, "%ld,%ld %ldx%ld", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    Print(name + ".place", place);
    Print(name + ".enabled", IsWindowEnabled(control) ? "1" : "0");
    Print(name + ".visible", IsWindowVisible(control) ? "1" : "0");
    // The log's text is printed line by line below.
    if (GetDlgCtrlID(control) != kMessaggio)
        Print(name + ".text", Narrow(TextOf(control)));
}

// The message box the window shows, if any: its title and its text.
bool FindBox(HWND form, std::wstring& title, std::wstring& text)
{
    DWORD process = 0;
    GetWindowThreadProcessId(form, &process);
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner != process || !IsWindowVisible(box))
            continue;
        title = TextOf(box);
        text = TextOf(GetDlgItem(box, 0xFFFF));  // the box's static text
        return true;
    }
    return false;
}

int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::string Describe(const RECT& rect);

int State(HWND form)
{
    Print("caption", Narrow(TextOf(form)));
    Print("dpi", std::to_string(ScreenDpi()));
    RECT client{};
    GetClientRect(form, &client);
    Print("client", std::to_string(client.right) + "x" + std::to_string(client.bottom));
    POINT origin{0, 0};
    ClientToScreen(form, &origin);
    Print("client.origin", std::to_string(origin.x) + "," + std::to_string(origin.y));
    const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
    Print("style.minimizebox", (style & WS_MINIMIZEBOX) ? "1" : "0");
    Print("style.maximizebox", (style & WS_MAXIMIZEBOX) ? "1" : "0");
    Print("style.sizable", (style & WS_THICKFRAME) ? "1" : "0");
    // Menus are not readable from another process under Wine: the tests
    // look at the opened menu on the screen instead.
    Print("menu.present", GetMenu(form) != nullptr ? "1" : "0");

    for (const ControlPlace& place : kControlPlaces) {
        const HWND parent = place.InInfoBox ? GetDlgItem(form, kDebugBox) : form;
        const HWND control = GetDlgItem(parent, place.Id);
        if (control != nullptr)
            PrintControl(place.Name, control, parent);
    }
    const HWND gauge = GetDlgItem(form, kGauge1);
    Print("Gauge1.position", std::to_string(SendMessageW(gauge, PBM_GETPOS, 0, 0)));
    Print("Gauge1.maximum", std::to_string(SendMessageW(gauge, PBM_GETRANGE, FALSE, 0)));
    const HWND band = GetDlgItem(form, kVerdictBandId);
    Print("band.visible", IsWindowVisible(band) ? "1" : "0");
    Print("band.text", Narrow(TextOf(band)));
    RECT band_rect{};
    GetWindowRect(band, &band_rect);
    MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&band_rect), 2);
    Print("band.place", Describe(band_rect));

    const std::vector<std::wstring> lines = LogLines(form);
    Print("log.lines", std::to_string(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i)
        Print("log." + std::to_string(i + 1), Narrow(lines[i]));
    return 0;
}

// A shown control of the layout, where it lies in its parent's client area.
struct Shown {
    const ControlPlace* Place;
    HWND Window;
    HWND Parent;
    RECT Rect;
};

// The size `text` takes in control font `font` at `dpi`.
SIZE TextExtent(const std::wstring& text, ControlFont font, int dpi)
{
    const HDC dc = GetDC(nullptr);
    const HFONT made = MakeControlFont(font, dpi);
    const HGDIOBJ old = SelectObject(dc, made);
    RECT area{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(made);
    ReleaseDC(nullptr, dc);
    return {area.right - area.left, area.bottom - area.top};
}

std::string Describe(const RECT& rect)
{
    char text[64];
    std::snprintf(text, sizeof text, "%ld,%ld %ldx%ld", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    return text;
}

// The room a control leaves its text: its client area less what the
// control draws around the text.
RECT TextRoom(const Shown& shown, int dpi)
{
    RECT room;
    GetClientRect(shown.Window, &room);
    wchar_t window_class[32] = {};
    GetClassNameW(shown.Window, window_class, static_cast<int>(std::size(window_class)));
    if (lstrcmpiW(window_class, L"Edit") == 0) {
        const LRESULT margins = SendMessageW(shown.Window, EM_GETMARGINS, 0, 0);
        room.left += LOWORD(margins);
        room.right -= HIWORD(margins);
    } else if (shown.Place->Id == kButton5) {
        // Inside the focus rectangle.
        InflateRect(&room, -ScaleToDpi(4, dpi), -ScaleToDpi(4, dpi));
    }
    return room;
}

int Fit(HWND form)
{
    const int dpi = ScreenDpi();
    std::vector<Shown> shown;
    for (const ControlPlace& place : kControlPlaces) {
        const HWND parent = place.InInfoBox ? GetDlgItem(form, kDebugBox) : form;
        const HWND control = GetDlgItem(parent, place.Id);
        if (control == nullptr || !IsWindowVisible(control))
            continue;
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        shown.push_back({&place, control, parent, rect});
    }
    int faults = 0;
    const auto fault = [&faults](const std::string& text) {
        Print("unfit", text);
        ++faults;
    };
    for (const Shown& one : shown) {
        const std::string name = one.Place->Name;
        RECT parent;
        GetClientRect(one.Parent, &parent);
        RECT inside;
        IntersectRect(&inside, &one.Rect, &parent);
        if (!EqualRect(&inside, &one.Rect))
            fault(name + " at " + Describe(one.Rect) + " reaches out of its parent's " + Describe(parent));
        for (const Shown& other : shown) {
            RECT common;
            if (&other < &one && other.Parent == one.Parent && IntersectRect(&common, &one.Rect, &other.Rect))
                fault(name + " at " + Describe(one.Rect) + " overlaps " + other.Place->Name + " at " +
                      Describe(other.Rect));
        }

        // The group box's caption, which its children must leave free.
        std::wstring text = TextOf(one.Window);
        if (one.Place->Id == kDebugBox) {
            const SIZE caption = TextExtent(text, one.Place->Font, dpi);
            const RECT band{0, 0, caption.cx + ScaleToDpi(16, dpi), caption.cy};
            if (band.right > one.Rect.right - one.Rect.left)
                fault(name + ": its caption is wider than the box");
            for (const Shown& child : shown) {
                RECT common;
                if (child.Parent == one.Window && IntersectRect(&common, &band, &child.Rect))
                    fault(name + ": its caption is covered by " + child.Place->Name);
            }
            continue;
        }
        if (one.Place->Id == kGauge1)
            text = Widen(GaugeText(100, 100));            // its widest text
        if (text.empty() || one.Place->Id == kMessaggio)  // the log wraps its lines
            continue;
        const SIZE need = TextExtent(text, one.Place->Font, dpi);
        const RECT room = TextRoom(one, dpi);
        if (need.cx > room.right - room.left || need.cy > room.bottom - room.top)
            fault(name + ": '" + Narrow(text) + "' takes " + std::to_string(need.cx) + "x" +
                  std::to_string(need.cy) + ", the control leaves it " + std::to_string(room.right - room.left) +
                  "x" + std::to_string(room.bottom - room.top));
    }
    Print("fit.dpi", std::to_string(dpi));
    Print("fit.controls", std::to_string(shown.size()));
    return faults == 0 ? 0 : 1;
}

// Polls, since the window is another process's: ten looks a second.
template <typename Ready>
int WaitFor(HWND form, double seconds, Ready ready)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (ready(form))
            return 0;
        if (GetTickCount64() >= deadline)
            return 1;
        Sleep(100);
    }
}

// Memory in the window's process: a list view answers only with pointers
// that are valid there.
class RemoteMemory {
public:
    RemoteMemory(HWND window, std::size_t size)
    {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (process_ != nullptr)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteMemory()
    {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    void Write(std::size_t offset, const void* data, std::size_t size) const
    {
        WriteProcessMemory(process_, At(offset), data, size, nullptr);
    }
    void Read(std::size_t offset, void* data, std::size_t size) const
    {
        ReadProcessMemory(process_, At(offset), data, size, nullptr);
    }
    bool Ready() const { return address_ != nullptr; }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// A list view's column title (`row` -1) or cell text, read from its process.
std::string ListText(HWND list, const RemoteMemory& memory, int row, int column)
{
    constexpr std::size_t kText = 512;  // offset of the text buffer, after the structure
    constexpr int kChars = 256;
    if (row < 0) {
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT;
        entry.pszText = reinterpret_cast<LPWSTR>(memory.At(kText));
        entry.cchTextMax = kChars;
        memory.Write(0, &entry, sizeof entry);
        SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(memory.At(0)));
    } else {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<LPWSTR>(memory.At(kText));
        item.cchTextMax = kChars;
        memory.Write(0, &item, sizeof item);
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0)));
    }
    wchar_t text[kChars] = {};
    memory.Read(kText, text, sizeof text);
    text[kChars - 1] = L'\0';
    return Narrow(text);
}

// The RUN HISTORY dialog: "history.columns" and "history.row.N", cells
// joined by " | "; then the dialog is closed as its CLOSE button does.
int ReadHistory(HWND form, double seconds)
{
    HWND dialog = nullptr;
    const int status = WaitFor(form, seconds, [&dialog](HWND) {
        dialog = FindWindowW(L"#32770", kHistoryCaption);
        return dialog != nullptr && IsWindowVisible(dialog);
    });
    if (status != 0)
        return status;
    const HWND list = GetDlgItem(dialog, kHistoryList);
    const RemoteMemory memory(list, 1024);
    if (!memory.Ready())
        return 1;
    const int columns = static_cast<int>(
        SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const auto line = [&](int row) {
        std::string joined;
        for (int column = 0; column < columns; ++column)
            joined += (column > 0 ? " | " : "") + ListText(list, memory, row, column);
        return joined;
    };
    Print("history.columns", line(-1));
    Print("history.rows", std::to_string(rows));
    for (int row = 0; row < rows; ++row)
        Print("history.row." + std::to_string(row + 1), line(row));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
}

}  // namespace
}  // namespace varnox

int main(int argc, char** argv)
{
    using namespace varnox;
    // Places and fonts in the screen's pixels, as the window (DPI-aware) has them.
    SetProcessDPIAware();
    _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n", for the shell that reads it
    const std::string command = argc > 1 ? argv[1] : "";
    HWND form = nullptr;
    // The window may still be starting (the probe runs before it is shown);
    // until it is shown, its controls and places are not all there.
    for (int look = 0; look < 100 && form == nullptr; ++look) {
        form = FindForm();
        if (form != nullptr && !IsWindowVisible(form))
            form = nullptr;
        if (form == nullptr)
            Sleep(100);
    }
    if (form == nullptr) {
        std::fprintf(stderr, "inspect: no varnox-patch window\n");
        return 2;
    }
    if (command == "state")
        return State(form);
    if (command == "fit")
        return Fit(form);
    if (command == "wait-line" && argc == 4) {
        const std::wstring wanted = Widen(argv[2]);
        return WaitFor(form, std::atof(argv[3]), [&wanted](HWND window) {
            for (const std::wstring& line : LogLines(window)) {
                if (line == wanted)
                    return true;
            }
            return false;
        });
    }
    if (command == "menu" && argc == 3) {
        for (const MenuEntry& entry : kWindowMenus) {
            if (std::string(entry.Caption) == argv[2])
                return PostMessageW(form, WM_COMMAND, MAKEWPARAM(MenuItemId(entry.Command), 0), 0) ? 0 : 1;
        }
        std::fprintf(stderr, "inspect: no menu item '%s'\n", argv[2]);
        return 2;
    }
    if (command == "read-history" && argc == 3)
        return ReadHistory(form, std::atof(argv[2]));
    if (command == "wait-idle" && argc == 3) {
        return WaitFor(form, std::atof(argv[2]),
                       [](HWND window) { return IsWindowEnabled(GetDlgItem(window, kButton5)) != FALSE; });
    }
    if (command == "wait-box" && argc == 3) {
        std::wstring title, text;
        const int status =
            WaitFor(form, std::atof(argv[2]), [&](HWND window) { return FindBox(window, title, text); });
        if (status == 0) {
            Print("box.title", Narrow(title));
            Print("box.text", Narrow(text));
        }
        return status;
    }
    std::fprintf(stderr,
                 "usage: inspect state | fit | wait-line TEXT SECONDS | wait-idle SECONDS | wait-box SECONDS |\n"
                 "       menu CAPTION | read-history SECONDS\n");
    return 2;
}
