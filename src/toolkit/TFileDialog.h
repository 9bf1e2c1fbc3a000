// The file dialogs and the folder chooser drawn inside the editor: modal panels of a TModalLayer that browse
// the file system (see TModalLayer for how panels take the mouse and keys and report their result).
//
// TFileDialog shows its title, the current folder's path, a list of the folder's sub-folders (first, with a
// folder mark) and of its files whose names match the filter's patterns ignoring case, each group sorted by
// name (ignoring case, numbers by their value: "Pad 2" before "Pad 10"), with ".." at the top (except at the
// root) to go up; then a name field, the filter's description ("Brindmor Program (*.bpa)") and the buttons
// "Open" or "Save" and "Cancel". Hidden entries are left out. An unreadable folder shows an empty list with
// a note; nothing is reported otherwise.
//
// Mouse: a press on a row selects it (a file's name goes into the name field); a second press on the same row
// within kDoubleClickMs (of the clock the layer advances) opens a folder or confirms a file. The scroll bar at
// the list's right: its arrows scroll by a row, its track by a page, its thumb drags; the mouse wheel scrolls
// by kWheelRows a notch anywhere over the dialog. A button is chosen by a
// press and a release on it.
// Keys (before the name field sees them): Up, Down, Home and End move the selection (Home and End edit the
// field while it was used last); Enter opens the selected folder when the list was used last, else confirms
// the name in the field; Backspace with an empty field goes up a folder; Escape cancels. Every other key
// edits the name field, which is active while the dialog is the top panel.
//
// Confirming a name: it is taken inside the current folder unless it is absolute; a name that leads to a
// folder opens that folder. A save dialog adds the default extension to a name without one; when
// OverwritePrompt is set and the file exists, a Yes/No question over the dialog asks first (No goes back to
// the dialog). An open dialog confirms an existing file only (a name without an extension also finds the file
// with the default one); else a message says the file was not found. A save into a missing folder gets a
// message too. The panel then closes with mrOk and FileName() holds the chosen path; Cancel and Escape close
// it with mrCancel.
//
// TFolderChooser is the same browser listing folders only, titled by its caption, with the buttons "OK" and
// "Cancel"; it confirms the selected folder, or the current one while none (or "..") is selected.
//
// A folder is listed when the dialog opens and each time the user moves to another one: a quick local read on
// the GUI thread. The dialog refers to the layer's style for its fonts and panel colours and to its own
// TFileDialogColours for the list and the fields. [gui]
#pragma once

#include "toolkit/THookEdit.h"
#include "toolkit/TModalLayer.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class TFileDialogMode { Open, Save, Folder };

struct TFileDialogColours {
    TPixel list = Rgb(255, 255, 255);
    TPixel rowAlternate = Rgb(243, 244, 247);
    TPixel selected = Rgb(40, 110, 210);
    TPixel selectedText = Rgb(255, 255, 255);
    TPixel muted = Rgb(104, 110, 122); // labels, notes, the file mark
    TPixel folder = Rgb(212, 164, 64); // the folder mark
    TPixel field = Rgb(255, 255, 255);
    TPixel fieldFrame = Rgb(150, 156, 168);
    TPixel scrollTrack = Rgb(226, 228, 233);
    TPixel scrollThumb = Rgb(150, 156, 168);
};

struct TFileDialogOptions {
    TFileDialogMode mode = TFileDialogMode::Open;
    std::string title;
    // One entry: a description, "|", and the patterns ("*" and "?" wildcards) separated by ";", e.g.
    // "Brindmor Program|*.bpa". Empty: every file.
    std::string filter;
    std::string defaultExtension; // without the dot; none when empty
    // The folder to start in; the home folder when it is empty, relative or not an existing folder.
    std::string folder;
    bool overwritePrompt = false;
    TFileDialogColours colours;
};

// Receives the path the user confirmed.
using TFileDialogCallback = std::function<void(const std::string& path)>;

// True when `name` matches the wildcard `pattern` ("*": any run of characters, "?": any one), ignoring the
// case of ASCII letters.
bool MatchesPattern(std::string_view name, std::string_view pattern);

class TFileDialog : public TModalPanel {
public:
    static constexpr int kDoubleClickMs = 500;
    static constexpr int kWheelRows = 3;
    static constexpr int kPreferredWidth = 520;
    static constexpr int kPreferredHeight = 392;
    static constexpr int kMaxNameLength = 255;

    struct TRow {
        std::string name; // ".." for the row that goes up
        bool isFolder = false;
    };

    explicit TFileDialog(TFileDialogOptions options);
    ~TFileDialog() override;

    // Opens a dialog on `layer` and activates its name field. `onOk` gets the chosen path, `onCancel` runs
    // when the user cancels; neither runs when the layer drops the panel (CloseAll).
    static TFileDialog& Show(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                             std::function<void()> onCancel = {});

    const TFileDialogOptions& Options() const { return options_; }
    TFileDialogMode Mode() const { return options_.mode; }
    // The filter as the dialog shows it: "Description (*.ext)".
    std::string FilterDescription() const;

    // The folder shown (absolute, normalised) and its rows.
    const std::string& Folder() const { return folder_; }
    bool FolderReadable() const { return readable_; }
    const std::vector<TRow>& Rows() const { return rows_; }
    // Lists `folder` (the rows, no selection, scrolled to the top); an unreadable one shows empty.
    void OpenFolder(const std::string& folder);

    // The selected row, -1 for none. Selecting scrolls the row into view; a file's name goes into the field.
    int Selected() const { return selected_; }
    void Select(int row);
    int TopRow() const { return top_; }
    // The rows the list shows at once (whole rows).
    int VisibleRows() const;
    // Scrolls the list by `rows` (negative: up), within its range.
    void ScrollBy(int rows);

    THookEdit& NameField() { return nameField_; }
    // The chosen path, set when the dialog confirms.
    const std::string& FileName() const { return fileName_; }

    // Window coordinates (valid while open): row `row` (outside the list when scrolled out of view), the
    // confirming and the cancel button, and the scroll bar (empty when every row fits).
    TRect RowRect(int row) const;
    TRect OkButtonRect() const { return ToWindow(okButton_); }
    TRect CancelButtonRect() const { return ToWindow(cancelButton_); }
    TRect ScrollBarRect() const;

    bool PreviewKey(const TKeyEvent& event) override;
    bool KeyDown(const TKeyEvent& event) override;
    void Arrange(const TRect& area) override;
    void AdvanceClock(int milliseconds) override;
    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;
    bool MouseWheel(const TMouseEvent& event, int steps) override;

protected:
    void PaintClient(TPainter& painter, const TRect& client) override;

private:
    enum class TPart { None, Row, ArrowUp, ArrowDown, TrackUp, TrackDown, Thumb, Ok, Cancel };

    TRect ToWindow(const TRect& panelRect) const;
    void InvalidateArea(const TRect& panelRect);
    int RowHeight() const;
    int MaxTop() const;
    void SetTop(int top);
    // The scroll bar's parts in panel coordinates.
    TRect BarRect() const;
    TRect ThumbRect() const;
    TPart PartAt(int x, int y, int* row) const;

    void ActivateField();
    // Enter, the confirming button and a double click on a file.
    void Accept();
    void AcceptName(const std::string& name);
    void OpenRow(int row);
    void GoUp();
    void Finish(const std::string& path);
    void Tell(const std::string& text);
    std::string ChosenFolder() const;

    void PaintList(TPainter& painter, const TRect& list) const;
    void PaintScrollBar(TPainter& painter, const TRect& bar) const;
    void PaintButton(TPainter& painter, const TRect& area, std::string_view caption, bool isDefault,
                     bool pressed) const;
    void PaintField(TPainter& painter, const TRect& area) const;

    TFileDialogOptions options_;
    std::string folder_;
    bool readable_ = false;
    std::vector<TRow> rows_;
    int selected_ = -1;
    int top_ = 0;
    std::string fileName_;
    bool listUsedLast_ = false;
    // Double clicks.
    int lastPressedRow_ = -1;
    int sincePress_ = 1 << 20;
    // Mouse state.
    TPart pressed_ = TPart::None;
    bool pressedInside_ = false;
    int dragOffset_ = 0;
    // Layout, panel coordinates.
    TRect pathBox_;
    TRect list_;
    TRect nameLabel_;
    TRect typeLabel_;
    TRect typeBox_;
    TRect okButton_;
    TRect cancelButton_;
    THookEdit nameField_;
    // Lets a question's answer find out whether the dialog still exists.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

class TFolderChooser : public TFileDialog {
public:
    // Starts in `path` when it is an existing folder, else in the home folder.
    TFolderChooser(std::string caption, std::string path, TFileDialogColours colours = {});

    static TFolderChooser& Show(TModalLayer& layer, std::string caption, std::string path, TFileDialogCallback onOk,
                                std::function<void()> onCancel = {}, TFileDialogColours colours = {});
};

} // namespace quillon
