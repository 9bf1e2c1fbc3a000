// MessageBoxW. Windows has no Yes/Cancel box: that one is the OK/Cancel box whose OK button reads "Yes",
// renamed by a hook that sees the box activate.
#include "platform/SystemMessageBox.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cwchar>

namespace quillon::platform {

namespace {

thread_local HHOOK renameHook = nullptr;

void Unhook() {
    if (renameHook) UnhookWindowsHookEx(renameHook);
    renameHook = nullptr;
}

LRESULT CALLBACK RenameOkToYes(int code, WPARAM param, LPARAM data) {
    const HHOOK hook = renameHook;
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(param);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (wcscmp(className, L"#32770") == 0 && GetDlgItem(box, IDOK)) {
            SetDlgItemTextW(box, IDOK, L"&Yes");
            Unhook();
        }
    }
    return CallNextHookEx(hook, code, param, data);
}

// Every line break as "\r\n".
std::wstring BoxText(const std::string& text) {
    std::wstring wide;
    const std::wstring from = win32::Widen(text);
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (from[i] == L'\r' || from[i] == L'\n') {
            wide += L"\r\n";
            if (from[i] == L'\r' && i + 1 < from.size() && from[i + 1] == L'\n') ++i;
        } else {
            wide += from[i];
        }
    }
    return wide;
}

UINT StyleOf(SystemBoxButtons buttons) {
    switch (buttons) {
    case SystemBoxButtons::kOk:
        return MB_OK | MB_ICONINFORMATION;
    case SystemBoxButtons::kOkCancel:
    case SystemBoxButtons::kYesCancel:
        return MB_OKCANCEL | MB_ICONQUESTION;
    case SystemBoxButtons::kYesNo:
        return MB_YESNO | MB_ICONQUESTION;
    case SystemBoxButtons::kYesNoCancel:
        return MB_YESNOCANCEL | MB_ICONQUESTION;
    }
    return MB_OK;
}

} // namespace

bool HasSystemMessageBox() {
    return true;
}

std::optional<SystemBoxAnswer> ShowSystemMessageBox(const std::string& caption, const std::string& text,
                                                    SystemBoxButtons buttons, void* owner) {
    HWND window = owner ? static_cast<HWND>(owner) : GetActiveWindow();
    UINT style = StyleOf(buttons) | MB_DEFBUTTON1 | (window ? MB_APPLMODAL : MB_TASKMODAL);
    const std::wstring wideCaption = win32::Widen(caption);
    const std::wstring wideText = BoxText(text);
    if (buttons == SystemBoxButtons::kYesCancel) {
        Unhook();
        renameHook = SetWindowsHookExW(WH_CBT, RenameOkToYes, nullptr, GetCurrentThreadId());
    }
    const int chosen = MessageBoxW(window, wideText.c_str(), wideCaption.c_str(), style);
    Unhook();
    switch (chosen) {
    case IDOK:
        return buttons == SystemBoxButtons::kYesCancel ? SystemBoxAnswer::kYes : SystemBoxAnswer::kOk;
    case IDYES:
        return SystemBoxAnswer::kYes;
    case IDNO:
        return SystemBoxAnswer::kNo;
    case IDCANCEL:
        return SystemBoxAnswer::kCancel;
    default:
        return std::nullopt;
    }
}

} // namespace quillon::platform
