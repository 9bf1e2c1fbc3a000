// The common dialogs: GetOpenFileNameW and GetSaveFileNameW (comdlg32) for files, the shell's folder browser
// (SHBrowseForFolderW) for folders. Each runs modally to its end inside Start; its own message loop keeps the
// host's windows served and keeps the owner disabled meanwhile.
#include "platform/SystemFileDialog.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <utility>

namespace quillon::platform {

namespace {

// Room for the longest path the system takes ("\\?\" paths).
constexpr DWORD kPathCapacity = 32768;

HWND OwnerOf(const SystemDialogRequest& request) {
    return request.owner ? static_cast<HWND>(request.owner) : GetActiveWindow();
}

std::wstring Backslashes(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// "Description\0pattern;pattern\0\0", or nothing when the request has no patterns (every file shows).
std::wstring FilterOf(const SystemDialogRequest& request) {
    if (request.patterns.empty()) return {};
    std::wstring patterns;
    for (const std::string& pattern : request.patterns)
        patterns += (patterns.empty() ? L"" : L";") + win32::Widen(pattern);
    std::wstring filter = win32::Widen(request.filterName.empty() ? request.patterns.front() : request.filterName);
    filter += L'\0';
    filter += patterns;
    filter += L'\0';
    return filter; // the string's own terminator ends the list
}

// The system's critical-error boxes ("no disk in drive") stay away while a dialog browses.
class QuietErrors {
public:
    QuietErrors() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrors() { SetErrorMode(previous_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    UINT previous_;
};

// The calling thread in a single-threaded COM apartment for the shell's dialogs, balanced on destruction.
// A thread already in the multi-threaded apartment stays there (Joined() is then false).
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Joined() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

std::pair<SystemDialogState, std::string> RunFileDialog(const SystemDialogRequest& request) {
    std::wstring file(kPathCapacity, L'\0');
    const std::wstring title = win32::Widen(request.title);
    const std::wstring filter = FilterOf(request);
    const std::wstring extension = win32::Widen(request.defaultExtension);
    const std::wstring folder = Backslashes(win32::Widen(request.folder));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = OwnerOf(request);
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    const bool save = request.kind == SystemDialogKind::kSave;
    if (!save) dialog.Flags |= OFN_FILEMUSTEXIST;
    if (save && request.overwritePrompt) dialog.Flags |= OFN_OVERWRITEPROMPT;
    const QuietErrors quiet;
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return {CommDlgExtendedError() == 0 ? SystemDialogState::kCancelled : SystemDialogState::kFailed, {}};
    file.resize(wcsnlen(file.c_str(), file.size()));
    return {SystemDialogState::kConfirmed, win32::ForwardSlashes(win32::Narrow(file))};
}

int CALLBACK SelectWhenReady(HWND window, UINT message, LPARAM /*param*/, LPARAM data) {
    const auto* start = reinterpret_cast<const std::wstring*>(data);
    if (message == BFFM_INITIALIZED && !start->empty())
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->c_str()));
    return 0;
}

std::pair<SystemDialogState, std::string> RunFolderBrowser(const SystemDialogRequest& request) {
    const ComApartment apartment;
    const std::wstring title = win32::Widen(request.title);
    const std::wstring start = Backslashes(win32::Widen(request.folder));
    std::wstring name(MAX_PATH, L'\0');
    BROWSEINFOW browse{};
    browse.hwndOwner = OwnerOf(request);
    browse.pszDisplayName = name.data();
    browse.lpszTitle = title.c_str();
    // The resizable browser with its edit box needs the apartment; without it the classic one shows.
    browse.ulFlags = BIF_RETURNONLYFSDIRS | (apartment.Joined() ? BIF_NEWDIALOGSTYLE : 0U);
    browse.lpfn = SelectWhenReady;
    browse.lParam = reinterpret_cast<LPARAM>(&start);
    const QuietErrors quiet;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return {SystemDialogState::kCancelled, {}};
    std::wstring path(kPathCapacity, L'\0');
    const bool named = SHGetPathFromIDListEx(chosen, path.data(), kPathCapacity, GPFIDL_DEFAULT) != FALSE;
    CoTaskMemFree(chosen);
    if (!named) return {SystemDialogState::kFailed, {}}; // a folder outside the file system
    path.resize(wcsnlen(path.c_str(), path.size()));
    return {SystemDialogState::kConfirmed, win32::ForwardSlashes(win32::Narrow(path))};
}

} // namespace

std::string FindSystemDialogTool() {
    return "comdlg32.dll";
}

bool SystemFileDialogIsModal() {
    return true;
}

bool SystemDialogsByDefault() {
    return true;
}

std::string SystemDialogDefaultFolder() {
    return {};
}

std::unique_ptr<SystemFileDialog> SystemFileDialog::Start(const SystemDialogRequest& request) {
    auto [state, path] = request.kind == SystemDialogKind::kFolder ? RunFolderBrowser(request) : RunFileDialog(request);
    return std::unique_ptr<SystemFileDialog>(new SystemFileDialog(state, std::move(path)));
}

SystemFileDialog::~SystemFileDialog() = default;

SystemDialogState SystemFileDialog::Poll() {
    return state_;
}

void SystemFileDialog::Conclude(bool, int) {}

} // namespace quillon::platform
