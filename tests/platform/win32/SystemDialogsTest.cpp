// The common file dialogs, the folder browser and the message boxes, driven by a helper thread as a user
// would: it finds the dialog among the test thread's windows, reads it, types a name and presses a button,
// while the test thread sits in the dialog's modal loop.
#include "platform/SystemFileDialog.h"
#include "platform/SystemMessageBox.h"
#include "platform/win32/Utf16.h"
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

bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return IsWindowVisible(window) && wcscmp(name, L"#32770") == 0;
}

// Waits (from a thread of its own) for a dialog of `thread` to show, then hands it to `act`. A dialog that
// never shows up fails the test; one that shows but is not what `act` expects is cancelled by `act`.
class DialogDriver {
public:
    DialogDriver(DWORD thread, std::function<void(HWND)> act)
        : worker_([this, thread, act = std::move(act)] {
              for (int tries = 0; tries < 300 && !dialog_; ++tries) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  dialog_ = FindDialog(thread);
              }
              if (!dialog_) return;
              found_ = true;
              act(dialog_);
              // A dialog the action did not end (an unexpected question, a field not found) is cancelled, so
              // the test thread gets out of its modal loop and the test fails instead of hanging.
              for (int tries = 0; tries < 200 && IsWindow(dialog_); ++tries)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
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

    // True when the dialog showed and the action ended it.
    bool Join() {
        if (worker_.joinable()) worker_.join();
        return found_ && ended_;
    }

private:
    static BOOL CALLBACK TakeDialog(HWND window, LPARAM result) {
        if (!IsDialog(window)) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    static HWND FindDialog(DWORD thread) {
        HWND found = nullptr;
        EnumThreadWindows(thread, TakeDialog, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::atomic<bool> found_ = false;
    std::atomic<bool> ended_ = true;
    HWND dialog_ = nullptr;
    std::thread worker_;
};

void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Enumeration: the first dialog other than search->first goes to search->second.
BOOL CALLBACK TakeOtherDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(data);
    if (window == search->first || !IsDialog(window)) return TRUE;
    search->second = window;
    return FALSE;
}

// A dialog of `thread` other than `dialog` (a question it asks), or null.
HWND OtherDialog(DWORD thread, HWND dialog) {
    std::pair<HWND, HWND> search{dialog, nullptr};
    EnumThreadWindows(thread, TakeOtherDialog, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

void TypeName(HWND dialog, const wchar_t* name) {
    HWND field = GetDlgItem(dialog, cmb13); // the name's combo box, or the older plain field
    SetWindowTextW(field ? field : GetDlgItem(dialog, edt1), name);
}

class SystemDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ =
            win32::ForwardSlashes(win32::Narrow(temp)) + "quillon-dialogs-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryW(win32::Widen(folder_).c_str(), nullptr);
    }
    void TearDown() override {
        for (const char* name : {"Choir.bha", "Choir.bpa"})
            DeleteFileW(win32::Widen(folder_ + "/" + name).c_str());
        RemoveDirectoryW(win32::Widen(folder_).c_str());
    }
    SystemDialogRequest Request(SystemDialogKind kind, const char* title) const {
        SystemDialogRequest request;
        request.kind = kind;
        request.title = title;
        request.folder = folder_;
        request.filterName = "Brindmor Harmony";
        request.patterns = {"*.bha"};
        request.defaultExtension = "bha";
        return request;
    }

    const DWORD thread_ = GetCurrentThreadId();
    std::string folder_;
};

TEST_F(SystemDialogsTest, FileDialogsAreModalTitledAndAddTheDefaultExtension) {
    EXPECT_TRUE(SystemFileDialogIsModal());
    EXPECT_TRUE(SystemDialogsByDefault());
    EXPECT_TRUE(WantsSystemDialogs(""));
    EXPECT_FALSE(WantsSystemDialogs("editor"));

    std::wstring title;
    DialogDriver save(thread_, [&](HWND dialog) {
        title = TextOf(dialog);
        TypeName(dialog, L"Choir");
        Press(dialog, IDOK);
    });
    std::unique_ptr<SystemFileDialog> saved =
        SystemFileDialog::Start(Request(SystemDialogKind::kSave, "Save Harmony File"));
    ASSERT_TRUE(save.Join());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(title, L"Save Harmony File");
    EXPECT_EQ(saved->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(saved->Path(), folder_ + "/Choir.bha") << "the name typed, in the start folder, with the extension";

    std::ofstream(win32::Widen(folder_ + "/Choir.bha").c_str()) << "x";
    DialogDriver open(thread_, [&](HWND dialog) {
        TypeName(dialog, L"Choir.bha");
        Press(dialog, IDOK);
    });
    std::unique_ptr<SystemFileDialog> opened =
        SystemFileDialog::Start(Request(SystemDialogKind::kOpen, "Open Harmony File"));
    ASSERT_TRUE(open.Join());
    EXPECT_EQ(opened->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(opened->Path(), folder_ + "/Choir.bha");

    // Replacing that file: the dialog asks only when the request says so.
    for (const bool overwritePrompt : {false, true}) {
        bool asked = false;
        DialogDriver replace(thread_, [&](HWND dialog) {
            TypeName(dialog, L"Choir");
            Press(dialog, IDOK);
            for (int tries = 0; tries < 40 && !asked; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (HWND question = OtherDialog(thread_, dialog)) {
                    asked = true;
                    Press(question, IDYES);
                }
            }
        });
        SystemDialogRequest request = Request(SystemDialogKind::kSave, "Save Harmony File");
        request.overwritePrompt = overwritePrompt;
        std::unique_ptr<SystemFileDialog> replaced = SystemFileDialog::Start(request);
        ASSERT_TRUE(replace.Join());
        EXPECT_EQ(asked, overwritePrompt);
        EXPECT_EQ(replaced->Path(), folder_ + "/Choir.bha");
    }

    DialogDriver cancel(thread_, [](HWND dialog) { Press(dialog, IDCANCEL); });
    std::unique_ptr<SystemFileDialog> cancelled =
        SystemFileDialog::Start(Request(SystemDialogKind::kOpen, "Open Harmony File"));
    ASSERT_TRUE(cancel.Join());
    EXPECT_EQ(cancelled->Poll(), SystemDialogState::kCancelled);
    EXPECT_TRUE(cancelled->Path().empty());
}

TEST_F(SystemDialogsTest, TheFolderBrowserStartsAtThePathGivenAndReturnsTheChoice) {
    DialogDriver confirm(thread_, [](HWND dialog) { Press(dialog, IDOK); });
    std::unique_ptr<SystemFileDialog> chosen =
        SystemFileDialog::Start(Request(SystemDialogKind::kFolder, "Change default directory for banks."));
    ASSERT_TRUE(confirm.Join());
    EXPECT_EQ(chosen->Poll(), SystemDialogState::kConfirmed);
    EXPECT_EQ(chosen->Path(), folder_) << "the initial selection, confirmed as it is";

    DialogDriver cancel(thread_, [](HWND dialog) { Press(dialog, IDCANCEL); });
    std::unique_ptr<SystemFileDialog> cancelled =
        SystemFileDialog::Start(Request(SystemDialogKind::kFolder, "Change default directory for banks."));
    ASSERT_TRUE(cancel.Join());
    EXPECT_EQ(cancelled->Poll(), SystemDialogState::kCancelled);
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
        DialogDriver driver(thread_, [&](HWND box) {
            caption = TextOf(box);
            text = TextOf(GetDlgItem(box, 0xFFFF));
            if (HWND ok = GetDlgItem(box, IDOK)) okButton = TextOf(ok);
            Press(box, item.press);
        });
        const std::optional<SystemBoxAnswer> answer =
            ShowSystemMessageBox("Quillon", "Error 13: Not a wave file!\rSecond line", item.buttons);
        ASSERT_TRUE(driver.Join());
        EXPECT_EQ(answer, item.answer) << static_cast<int>(item.buttons);
        EXPECT_EQ(caption, L"Quillon");
        EXPECT_EQ(text, L"Error 13: Not a wave file!\r\nSecond line");
        if (item.buttons == SystemBoxButtons::kYesCancel) {
            EXPECT_EQ(okButton, L"&Yes");
        }
    }
}

// The editor's panels over modal dialogs: the answer comes before Run and Show return, and the layer is
// left empty.
TEST_F(SystemDialogsTest, PanelsAnswerAtOnceWhenTheModalDialogEnds) {
    TModalLayer layer;
    std::vector<std::string> answers;
    DialogDriver save(thread_, [](HWND dialog) {
        TypeName(dialog, L"Choir");
        Press(dialog, IDOK);
    });
    TFileDialogOptions options{
        TFileDialogMode::Save, "Save Program File", "Brindmor Program|*.bpa", "bpa", folder_, false, {}};
    EXPECT_TRUE(TSystemDialogPanel::Run(
        layer, options, [&](const std::string& path) { answers.push_back(path); },
        [&] { answers.emplace_back("cancelled"); }, [&] { answers.emplace_back("failed"); }));
    ASSERT_TRUE(save.Join());

    DialogDriver box(thread_, [](HWND dialog) { Press(dialog, IDNO); });
    TSystemMessageBox::Show(layer, "Quillon", "Do you want to save the current bank before loading a new?",
                            TMsgButtons::mbYesNoCancel, [&](int result) { answers.push_back(std::to_string(result)); });
    ASSERT_TRUE(box.Join());
    EXPECT_EQ(answers, (std::vector<std::string>{folder_ + "/Choir.bpa", std::to_string(mrNo)}));
    EXPECT_FALSE(layer.IsOpen());
}

// A window of the test thread that closes the editor's panels, as a host's timer closing the editor would,
// while a modal dialog's loop runs.
LRESULT CALLBACK CloseLayerOnRequest(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) reinterpret_cast<TModalLayer*>(GetWindowLongPtrW(window, GWLP_USERDATA))->CloseAll();
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(SystemDialogsTest, AnEditorClosedWhileADialogRunsHearsNoAnswer) {
    WNDCLASSW type{};
    type.lpfnWndProc = CloseLayerOnRequest;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"QuillonCloseLayerOnRequest";
    RegisterClassW(&type);
    HWND host = CreateWindowW(type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    ASSERT_NE(host, nullptr);
    TModalLayer layer;
    SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&layer));
    int heard = 0;
    const auto closeThenAnswer = [host](int button) {
        return [host, button](HWND dialog) {
            SendMessageW(host, WM_APP, 0, 0); // served by the dialog's loop on the test thread
            Press(dialog, button);
        };
    };

    DialogDriver file(thread_, closeThenAnswer(IDCANCEL));
    TFileDialogOptions options{
        TFileDialogMode::Open, "Open Program File", "Brindmor Program|*.bpa", "bpa", folder_, false, {}};
    EXPECT_TRUE(TSystemDialogPanel::Run(
        layer, options, [&](const std::string&) { ++heard; }, [&] { ++heard; }, [&] { ++heard; }));
    ASSERT_TRUE(file.Join());

    DialogDriver box(thread_, closeThenAnswer(IDYES));
    TSystemMessageBox::Show(layer, "Quillon", "Reset?", TMsgButtons::mbYesNo, [&](int) { ++heard; });
    ASSERT_TRUE(box.Join());
    EXPECT_EQ(heard, 0);
    EXPECT_FALSE(layer.IsOpen());
    DestroyWindow(host);
    UnregisterClassW(type.lpszClassName, type.hInstance);
}

} // namespace
} // namespace quillon::platform
