// The common file dialogs, the folder browser and the message boxes, driven by a helper thread as a user
// would: it finds the dialog among the test thread's windows, reads it, types a name and presses a button,
// while the test thread sits in the dialog's modal loop.
#include "platform/SystemFileDialog.h"
#include "platform/SystemMessageBox.h"
#include "platform/win32/Utf16.h"
#include "support/TemporaryDirectory.h"
#include "toolkit/TSystemDialogPanel.h"
#include "toolkit/TSystemMessageBox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <dlgs.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::platform {
namespace {

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK TakeDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(data); // {window to pass over, found}
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (window == search->first || !IsWindowVisible(window) || wcscmp(name, L"#32770") != 0) return TRUE;
    search->second = window;
    return FALSE;
}

// A dialog shown by `thread` other than `except`, or null.
HWND FindDialog(DWORD thread, HWND except = nullptr) {
    std::pair<HWND, HWND> search{except, nullptr};
    EnumThreadWindows(thread, TakeDialog, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

void TypeName(HWND dialog, const wchar_t* name) {
    HWND field = GetDlgItem(dialog, cmb13); // the name's combo box, or the older plain field
    SetWindowTextW(field ? field : GetDlgItem(dialog, edt1), name);
}

// Waits (on a thread of its own) for a dialog of `thread` to show and hands it to `act`. A dialog the action
// leaves open (an unexpected question, a field not found) is cancelled, so the test fails instead of hanging.
class DialogDriver {
public:
    DialogDriver(DWORD thread, std::function<void(HWND)> act)
        : worker_([this, thread, act = std::move(act)] {
              HWND dialog = nullptr;
              for (int tries = 0; tries < 300 && !dialog; ++tries) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  dialog = FindDialog(thread);
              }
              if (!dialog) return;
              act(dialog);
              for (int tries = 0; tries < 200 && IsWindow(dialog); ++tries)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              ended_ = !IsWindow(dialog);
              for (HWND left = FindDialog(thread); left != nullptr; left = FindDialog(thread)) {
                  ended_ = false;
                  PostMessageW(left, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                  PostMessageW(left, WM_CLOSE, 0, 0);
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
              }
          }) {}
    ~DialogDriver() { Join(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // True when a dialog showed and the action ended it.
    bool Join() {
        if (worker_.joinable()) worker_.join();
        return ended_;
    }

private:
    std::atomic<bool> ended_ = false;
    std::thread worker_;
};

class SystemDialogsTest : public ::testing::Test {
protected:
    SystemDialogRequest Request(SystemDialogKind kind, const char* title) const {
        return {kind, title, folder.Path(), "Brindmor Harmony", {"*.bha"}, false, "bha", nullptr};
    }
    // Runs the dialog of `request` while `act` answers it.
    std::unique_ptr<SystemFileDialog> Drive(const SystemDialogRequest& request, std::function<void(HWND)> act) {
        DialogDriver driver(thread, std::move(act));
        std::unique_ptr<SystemFileDialog> dialog = SystemFileDialog::Start(request);
        EXPECT_TRUE(driver.Join()) << request.title;
        return dialog;
    }
    static void Type(HWND dialog, const wchar_t* name) {
        TypeName(dialog, name);
        Press(dialog, IDOK);
    }

    const DWORD thread = GetCurrentThreadId();
    test::TemporaryDirectory folder;
};

TEST_F(SystemDialogsTest, FileDialogsAreModalTitledAndAddTheDefaultExtension) {
    EXPECT_TRUE(SystemFileDialogIsModal());
    EXPECT_TRUE(WantsSystemDialogs(""));
    EXPECT_FALSE(WantsSystemDialogs("editor"));

    std::wstring title;
    auto saved = Drive(Request(SystemDialogKind::kSave, "Save Harmony File"), [&](HWND dialog) {
        title = TextOf(dialog);
        Type(dialog, L"Choir");
    });
    EXPECT_EQ(title, L"Save Harmony File");
    EXPECT_EQ(saved->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(saved->Path(), folder / "Choir.bha") << "the name typed, in the start folder, with the extension";

    std::ofstream(win32::Widen(folder / "Choir.bha").c_str()) << "x";
    auto opened = Drive(Request(SystemDialogKind::kOpen, "Open Harmony File"), [](HWND d) { Type(d, L"Choir.bha"); });
    EXPECT_EQ(opened->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(opened->Path(), folder / "Choir.bha");

    // Replacing that file: the dialog asks only when the request says so.
    for (const bool overwritePrompt : {false, true}) {
        SystemDialogRequest request = Request(SystemDialogKind::kSave, "Save Harmony File");
        request.overwritePrompt = overwritePrompt;
        bool asked = false;
        auto replaced = Drive(request, [&](HWND dialog) {
            Type(dialog, L"Choir");
            for (int tries = 0; tries < 40 && !asked; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                asked = FindDialog(thread, dialog) != nullptr;
                if (asked) Press(FindDialog(thread, dialog), IDYES);
            }
        });
        EXPECT_EQ(asked, overwritePrompt);
        EXPECT_EQ(replaced->Path(), folder / "Choir.bha");
    }

    auto cancelled = Drive(Request(SystemDialogKind::kOpen, "Open Harmony File"), [](HWND d) { Press(d, IDCANCEL); });
    EXPECT_EQ(cancelled->Poll(), SystemDialogState::kCancelled);
    EXPECT_TRUE(cancelled->Path().empty());
}

TEST_F(SystemDialogsTest, TheFolderBrowserStartsAtThePathGivenAndReturnsTheChoice) {
    const SystemDialogRequest request = Request(SystemDialogKind::kFolder, "Change default directory for banks.");
    auto chosen = Drive(request, [](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(chosen->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(chosen->Path(), folder.Path()) << "the initial selection, confirmed as it is";
    EXPECT_EQ(Drive(request, [](HWND dialog) { Press(dialog, IDCANCEL); })->Poll(), SystemDialogState::kCancelled);
}

TEST_F(SystemDialogsTest, MessageBoxesShowTheTextAndMapTheButtons) {
    ASSERT_TRUE(HasSystemMessageBox());
    struct TCase {
        SystemBoxButtons buttons;
        int press;
        SystemBoxAnswer answer;
    };
    for (const TCase& item : {TCase{SystemBoxButtons::kYesNoCancel, IDNO, SystemBoxAnswer::kNo},
                              TCase{SystemBoxButtons::kYesNoCancel, IDCANCEL, SystemBoxAnswer::kCancel},
                              TCase{SystemBoxButtons::kYesCancel, IDOK, SystemBoxAnswer::kYes},
                              TCase{SystemBoxButtons::kOkCancel, IDOK, SystemBoxAnswer::kOk},
                              TCase{SystemBoxButtons::kOk, IDOK, SystemBoxAnswer::kOk}}) {
        std::wstring caption;
        std::wstring text;
        std::wstring okButton;
        DialogDriver driver(thread, [&](HWND box) {
            caption = TextOf(box);
            text = TextOf(GetDlgItem(box, 0xFFFF));
            okButton = TextOf(GetDlgItem(box, IDOK));
            Press(box, item.press);
        });
        const auto answer = ShowSystemMessageBox("Quillon", "Error 13: Not a wave file!\rSecond line", item.buttons);
        ASSERT_TRUE(driver.Join());
        EXPECT_EQ(answer, item.answer) << static_cast<int>(item.buttons);
        EXPECT_EQ(caption, L"Quillon");
        EXPECT_EQ(text, L"Error 13: Not a wave file!\r\nSecond line");
        if (item.buttons == SystemBoxButtons::kYesCancel) {
            EXPECT_EQ(okButton, L"&Yes");
        }
    }
}

// A window of the test thread that closes the editor's panels when asked, as a host's timer closing the
// editor would while a modal dialog's loop runs.
LRESULT CALLBACK CloseLayerOnRequest(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) reinterpret_cast<TModalLayer*>(GetWindowLongPtrW(window, GWLP_USERDATA))->CloseAll();
    return DefWindowProcW(window, message, wparam, lparam);
}

// The editor's panels over modal dialogs answer before Run and Show return; an editor closed meanwhile hears
// nothing.
TEST_F(SystemDialogsTest, PanelsAnswerAtOnceUnlessTheEditorClosedMeanwhile) {
    WNDCLASSW type{};
    type.lpfnWndProc = CloseLayerOnRequest;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"QuillonCloseLayerOnRequest";
    RegisterClassW(&type);
    HWND host = CreateWindowW(type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    TModalLayer layer;
    SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&layer));
    std::vector<std::string> answers;
    const TFileDialogOptions options{
        TFileDialogMode::Save, "Save Program File", "Brindmor Program|*.bpa", "bpa", folder.Path(), false, {}};
    for (const bool close : {false, true}) {
        DialogDriver save(thread, [&](HWND dialog) {
            if (close) SendMessageW(host, WM_APP, 0, 0); // served by the dialog's loop on the test thread
            Type(dialog, L"Choir");
        });
        EXPECT_TRUE(TSystemDialogPanel::Run(
            layer, options, [&](const std::string& path) { answers.push_back(path); },
            [&] { answers.emplace_back("cancelled"); }, [&] { answers.emplace_back("failed"); }));
        ASSERT_TRUE(save.Join());
        DialogDriver box(thread, [&](HWND dialog) {
            if (close) SendMessageW(host, WM_APP, 0, 0);
            Press(dialog, IDNO);
        });
        TSystemMessageBox::Show(layer, "Quillon", "Do you want to save the current bank before loading a new?",
                                TMsgButtons::mbYesNoCancel,
                                [&](int result) { answers.push_back(std::to_string(result)); });
        ASSERT_TRUE(box.Join());
        EXPECT_FALSE(layer.IsOpen());
    }
    EXPECT_EQ(answers, (std::vector<std::string>{folder / "Choir.bpa", std::to_string(mrNo)}));
    DestroyWindow(host);
    UnregisterClassW(type.lpszClassName, type.hInstance);
}

} // namespace
} // namespace quillon::platform
