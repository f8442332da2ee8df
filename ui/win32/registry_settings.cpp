#include "ui/win32/registry_settings.h"

#include <windows.h>

#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

// The values' names in the key.
constexpr const wchar_t* kFast = L"FastUpdate";
constexpr const wchar_t* kVerifyEeprom = L"VerifyEeprom";
constexpr const wchar_t* kKeepRecord = L"KeepRunRecord";
constexpr const wchar_t* kTracePath = L"TraceFile";
constexpr const wchar_t* kTechnician = L"Technician";

class Key {
public:
    Key(const std::wstring& path, bool create)
    {
        const LSTATUS status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                                        KEY_SET_VALUE, nullptr, &key_, nullptr)
                                      : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key_);
        if (status != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key()
    {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Open() const { return key_ != nullptr; }

    void ReadFlag(const wchar_t* name, bool& flag) const
    {
        DWORD value = 0;
        DWORD type = 0;
        DWORD size = sizeof value;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value)
            flag = value != 0;
    }

    void ReadText(const wchar_t* name, std::string& text) const
    {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return;
        std::wstring wide(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(wide.data()), &size) !=
            ERROR_SUCCESS)
            return;
        // The stored string may or may not end with its terminator.
        wide.resize(wcsnlen(wide.c_str(), size / sizeof(wchar_t)));
        text = Narrow(wide);
    }

    void WriteFlag(const wchar_t* name, bool flag) const
    {
        const DWORD value = flag ? 1 : 0;
        RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    void WriteText(const wchar_t* name, const std::string& text) const
    {
        const std::wstring wide = Widen(text);
        RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace

WindowSettings RegistrySettings::Load()
{
    WindowSettings settings;
    const Key key(key_, false);
    if (!key.Open())
        return settings;
    key.ReadFlag(kFast, settings.Fast);
    key.ReadFlag(kVerifyEeprom, settings.VerifyEeprom);
    key.ReadFlag(kKeepRecord, settings.KeepRecord);
    key.ReadText(kTracePath, settings.TracePath);
    key.ReadText(kTechnician, settings.Technician);
    return settings;
}

void RegistrySettings::Save(const WindowSettings& settings)
{
    const Key key(key_, true);
    if (!key.Open())
        return;
    key.WriteFlag(kFast, settings.Fast);
    key.WriteFlag(kVerifyEeprom, settings.VerifyEeprom);
    key.WriteFlag(kKeepRecord, settings.KeepRecord);
    key.WriteText(kTracePath, settings.TracePath);
    key.WriteText(kTechnician, settings.Technician);
}

}  // namespace varnox
