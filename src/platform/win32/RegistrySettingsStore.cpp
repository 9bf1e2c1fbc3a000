#include "platform/win32/RegistrySettingsStore.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace quillon::platform {

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

KeyHandle OpenForReading(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return nullptr;
    return KeyHandle(key);
}

// The text of a string value; nothing when the value is missing or not a string.
std::optional<std::string> ReadString(HKEY key, const std::wstring& name) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    for (;;) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LSTATUS status =
            RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_MORE_DATA) { // grew between the two calls
            bytes = size;
            continue;
        }
        if (status != ERROR_SUCCESS) return std::nullopt;
        text.resize(size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') // stored with or without its terminator
            text.pop_back();
        return win32::Narrow(text);
    }
}

} // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string key) : key_(std::move(key)) {}

SettingRead RegistrySettingsStore::ReadSetting(const std::string& name) const {
    SettingRead result;
    const std::wstring path = win32::Widen(key_);
    const std::wstring valueName = win32::Widen(name);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const KeyHandle key = OpenForReading(root, path);
        if (!key) continue;
        result.found = true;
        if (auto text = ReadString(key.get(), valueName)) {
            result.text = std::move(*text);
            break;
        }
    }
    return result;
}

bool RegistrySettingsStore::WriteSetting(const std::string& name, const std::string& text) {
    if (name.empty()) return false;
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, win32::Widen(key_).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &created, nullptr) != ERROR_SUCCESS)
        return false;
    const KeyHandle key(created);
    const std::wstring wide = win32::Widen(text);
    const auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)); // with the terminator
    return RegSetValueExW(key.get(), win32::Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          bytes) == ERROR_SUCCESS;
}

std::unique_ptr<ISettingsStore> MakeSettingsStore() {
    return std::make_unique<RegistrySettingsStore>();
}

} // namespace quillon::platform
