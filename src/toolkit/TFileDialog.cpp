#include "toolkit/TFileDialog.h"

#include "platform/ListFolder.h"
#include "toolkit/TMessageBox.h"

#include <algorithm>
#include <cctype>

namespace quillon {

namespace {

constexpr int kBar = 14;       // the scroll bar's width and its arrows' height
constexpr int kMinThumb = 16;  // the thumb's least height
constexpr int kGap = 8;        // between the rows of the layout
constexpr int kIconWidth = 22; // the mark before a row's name, with its margins

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The order people expect: letters ignoring case, runs of digits by their value ("Pad 2" before "Pad 10");
// names equal that way by byte value, so that every list comes out the same.
bool NameLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            while (i < a.size() && a[i] == '0' && i + 1 < a.size() && IsDigit(a[i + 1]))
                ++i;
            while (j < b.size() && b[j] == '0' && j + 1 < b.size() && IsDigit(b[j + 1]))
                ++j;
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            if (endA - i != endB - j) return endA - i < endB - j;
            if (const int order = a.compare(i, endA - i, b, j, endB - j); order != 0) return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (Lower(a[i]) != Lower(b[j])) return Lower(a[i]) < Lower(b[j]);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;
}

// The last part of a path.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when the last part of `path` has an extension: a dot after its first character and before its last.
bool HasExtension(const std::string& path) {
    const std::string name = BaseName(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

std::vector<std::string> SplitPatterns(std::string_view patterns) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const std::size_t end = std::min(patterns.find(';', start), patterns.size());
        std::string_view pattern = patterns.substr(start, end - start);
        while (!pattern.empty() && pattern.front() == ' ')
            pattern.remove_prefix(1);
        while (!pattern.empty() && pattern.back() == ' ')
            pattern.remove_suffix(1);
        if (!pattern.empty()) result.emplace_back(pattern);
        start = end + 1;
    }
    return result;
}

// `text` cut at its start to fit `width`, "..." in front of what is left.
std::string ElideLeft(const TGlyphAtlas& atlas, const std::string& text, int width) {
    if (atlas.TextWidth(text) <= width) return text;
    std::string_view rest = text;
    while (!rest.empty() && atlas.TextWidth("...") + atlas.TextWidth(rest) > width)
        rest.remove_prefix(1);
    return "..." + std::string(rest);
}

int Baseline(const TGlyphAtlas& atlas, const TRect& area) {
    return area.top + (area.Height() - atlas.Ascent() - atlas.Descent()) / 2 + atlas.Ascent();
}

TRect Inset(const TRect& r, int dx, int dy) {
    return TRect{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

void DrawFolderMark(TPainter& painter, int x, int centreY, TPixel colour) {
    painter.FillRect(TRect{x + 1, centreY - 6, x + 7, centreY - 3}, colour);
    FillRoundedRect(painter, TRect{x, centreY - 4, x + 15, centreY + 6}, 2, colour);
}

void DrawFileMark(TPainter& painter, int x, int centreY, TPixel paper, TPixel ink) {
    const TRect page{x + 2, centreY - 7, x + 13, centreY + 7};
    painter.FillRect(page, paper);
    painter.StrokeRect(page, ink);
    for (int k = 0; k < 3; ++k)
        painter.FillRect(TRect{x + 5, centreY - 3 + 3 * k, x + 10, centreY - 2 + 3 * k}, ink);
}

} // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    // Greedy matching with one back-tracking point: the last "*" seen.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// TFileDialog ------------------------------------------------------------------------------------------------

TFileDialog::TFileDialog(TFileDialogOptions options)
    : TModalPanel(options.title, kPreferredWidth, kPreferredHeight), options_(std::move(options)) {
    nameField_.SetMaxLength(kMaxNameLength);
    nameField_.SetVisible(options_.mode != TFileDialogMode::Folder);
    Add(nameField_);
    const std::string& start = options_.folder;
    OpenFolder(platform::IsAbsolutePath(start) && platform::IsExistingFolder(start) ? start : platform::HomeFolder());
}

TFileDialog::~TFileDialog() {
    nameField_.Deactivate();
    Router().Forget(nameField_);
    Remove(nameField_);
}

TFileDialog& TFileDialog::Show(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                               std::function<void()> onCancel) {
    auto dialog = std::make_unique<TFileDialog>(std::move(options));
    TFileDialog* opened = dialog.get();
    // The panel lives until its callback has returned.
    layer.Open(std::move(dialog), [opened, onOk = std::move(onOk), onCancel = std::move(onCancel)](int result) {
        if (result == mrOk) {
            const std::string path = opened->FileName();
            if (onOk) onOk(path);
        } else if (onCancel) {
            onCancel();
        }
    });
    opened->ActivateField();
    return *opened;
}

std::string TFileDialog::FilterDescription() const {
    const std::size_t bar = options_.filter.find('|');
    if (options_.filter.empty()) return "All files (*)";
    if (bar == std::string::npos) return options_.filter;
    std::string patterns;
    for (const std::string& pattern : SplitPatterns(std::string_view(options_.filter).substr(bar + 1)))
        patterns += (patterns.empty() ? "" : ";") + pattern;
    return options_.filter.substr(0, bar) + " (" + patterns + ")";
}

void TFileDialog::OpenFolder(const std::string& folder) {
    folder_ = platform::NormalFolder(folder);
    platform::FolderEntries listing = platform::ListFolderEntries(folder_);
    readable_ = listing.readable;
    const std::size_t bar = options_.filter.find('|');
    const std::vector<std::string> patterns =
        SplitPatterns(bar == std::string::npos ? std::string_view(options_.filter)
                                               : std::string_view(options_.filter).substr(bar + 1));
    std::vector<std::string> folders;
    std::vector<std::string> files;
    for (platform::FolderEntry& entry : listing.entries) {
        if (entry.isFolder) {
            folders.push_back(std::move(entry.name));
            continue;
        }
        if (options_.mode == TFileDialogMode::Folder) continue;
        const bool matches = patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const auto& p) {
                                 return MatchesPattern(entry.name, p);
                             });
        if (matches) files.push_back(std::move(entry.name));
    }
    std::sort(folders.begin(), folders.end(), NameLess);
    std::sort(files.begin(), files.end(), NameLess);
    rows_.clear();
    if (!platform::IsRootFolder(folder_)) rows_.push_back(TRow{"..", true});
    for (std::string& name : folders)
        rows_.push_back(TRow{std::move(name), true});
    for (std::string& name : files)
        rows_.push_back(TRow{std::move(name), false});
    selected_ = -1;
    top_ = 0;
    lastPressedRow_ = -1;
    Invalidate();
}

int TFileDialog::RowHeight() const {
    const TGlyphAtlas* atlas = Style().atlas;
    return (atlas ? atlas->LineHeight() : 12) + 6;
}

int TFileDialog::VisibleRows() const {
    return std::max(Inset(list_, 1, 1).Height() / RowHeight(), 1);
}

int TFileDialog::MaxTop() const {
    return std::max(static_cast<int>(rows_.size()) - VisibleRows(), 0);
}

void TFileDialog::SetTop(int top) {
    top = std::clamp(top, 0, MaxTop());
    if (top == top_) return;
    top_ = top;
    InvalidateArea(list_);
}

void TFileDialog::ScrollBy(int rows) {
    SetTop(top_ + rows);
}

void TFileDialog::Select(int row) {
    row = std::clamp(row, -1, static_cast<int>(rows_.size()) - 1);
    if (row != selected_) InvalidateArea(list_);
    selected_ = row;
    if (row < 0) return;
    if (row < top_) SetTop(row);
    if (row >= top_ + VisibleRows()) SetTop(row - VisibleRows() + 1);
    const TRow& chosen = rows_[static_cast<std::size_t>(row)];
    if (!chosen.isFolder && options_.mode != TFileDialogMode::Folder) nameField_.SetText(chosen.name);
    if (options_.mode == TFileDialogMode::Folder) InvalidateArea(nameLabel_);
}

TRect TFileDialog::ToWindow(const TRect& panelRect) const {
    const TRect window = WindowRect();
    return panelRect.Translated(window.left, window.top);
}

void TFileDialog::InvalidateArea(const TRect& panelRect) {
    if (!IsOpen()) return;
    if (TDirtyRegion* dirty = Parent() ? Parent()->DirtyRegion() : nullptr) dirty->Add(ToWindow(panelRect));
}

TRect TFileDialog::BarRect() const {
    if (static_cast<int>(rows_.size()) <= VisibleRows()) return TRect{};
    const TRect inner = Inset(list_, 1, 1);
    return TRect{inner.right - kBar, inner.top, inner.right, inner.bottom};
}

TRect TFileDialog::ScrollBarRect() const {
    const TRect bar = BarRect();
    return bar.Empty() ? bar : ToWindow(bar);
}

TRect TFileDialog::ThumbRect() const {
    const TRect bar = BarRect();
    if (bar.Empty()) return bar;
    const int track = bar.Height() - 2 * kBar;
    const int rows = static_cast<int>(rows_.size());
    const int length = std::min(std::max(track * VisibleRows() / std::max(rows, 1), kMinThumb), track);
    const int offset = MaxTop() > 0 ? (track - length) * top_ / MaxTop() : 0;
    return TRect::FromSize(bar.left, bar.top + kBar + offset, kBar, length);
}

TRect TFileDialog::RowRect(int row) const {
    const TRect inner = Inset(list_, 1, 1);
    const int right = BarRect().Empty() ? inner.right : inner.right - kBar;
    return ToWindow(
        TRect{inner.left, inner.top + (row - top_) * RowHeight(), right, inner.top + (row - top_ + 1) * RowHeight()});
}

TFileDialog::TPart TFileDialog::PartAt(int x, int y, int* row) const {
    if (okButton_.Contains(x, y)) return TPart::Ok;
    if (cancelButton_.Contains(x, y)) return TPart::Cancel;
    const TRect bar = BarRect();
    if (!bar.Empty() && bar.Contains(x, y)) {
        const TRect thumb = ThumbRect();
        if (y < bar.top + kBar) return TPart::ArrowUp;
        if (y >= bar.bottom - kBar) return TPart::ArrowDown;
        if (y < thumb.top) return TPart::TrackUp;
        if (y >= thumb.bottom) return TPart::TrackDown;
        return TPart::Thumb;
    }
    const TRect inner = Inset(list_, 1, 1);
    if (!inner.Contains(x, y)) return TPart::None;
    const int i = top_ + (y - inner.top) / RowHeight();
    if (i >= static_cast<int>(rows_.size()) || i >= top_ + VisibleRows()) return TPart::None;
    *row = i;
    return TPart::Row;
}

void TFileDialog::Arrange(const TRect& area) {
    const TModalStyle& style = Style();
    const TGlyphAtlas* atlas = style.atlas;
    const auto textWidth = [atlas](std::string_view text) { return atlas ? atlas->TextWidth(text) : 0; };
    const int width = std::min(kPreferredWidth, area.Width() - 24);
    const int height = std::min(kPreferredHeight, area.Height() - 24);
    SetSize(width, height);
    const int pad = style.padding;
    const int field = std::max((atlas ? atlas->LineHeight() : 12) + 8, style.buttonHeight);
    const int buttonWidth =
        std::max({style.buttonMinWidth, textWidth("Cancel") + 2 * pad, textWidth("Open") + 2 * pad});
    const int bottom = height - kFrame - pad;
    pathBox_ = TRect{pad, style.titleHeight + pad, width - pad, style.titleHeight + pad + field};
    const int buttonTop = (field - style.buttonHeight) / 2;
    int listBottom = 0;
    if (options_.mode == TFileDialogMode::Folder) {
        cancelButton_ =
            TRect::FromSize(width - pad - buttonWidth, bottom - field + buttonTop, buttonWidth, style.buttonHeight);
        okButton_ = cancelButton_.Translated(-buttonWidth - style.buttonGap, 0);
        nameLabel_ = TRect{pad, bottom - field, okButton_.left - kGap, bottom};
        typeLabel_ = typeBox_ = TRect{};
        listBottom = nameLabel_.top - kGap;
    } else {
        const int label = std::max(textWidth("File name:"), textWidth("Files of type:")) + kGap;
        const int fieldRight = width - pad - buttonWidth - kGap - 2;
        typeLabel_ = TRect{pad, bottom - field, pad + label, bottom};
        nameLabel_ = typeLabel_.Translated(0, -field - kGap);
        typeBox_ = TRect{typeLabel_.right, typeLabel_.top, fieldRight, typeLabel_.bottom};
        const TRect nameBox{nameLabel_.right, nameLabel_.top, fieldRight, nameLabel_.bottom};
        nameField_.SetBounds(TRect{nameBox.left + 4, nameBox.top + 2, nameBox.right - 2, nameBox.bottom - 2});
        okButton_ =
            TRect::FromSize(width - pad - buttonWidth, nameLabel_.top + buttonTop, buttonWidth, style.buttonHeight);
        cancelButton_ = TRect::FromSize(okButton_.left, typeLabel_.top + buttonTop, buttonWidth, style.buttonHeight);
        listBottom = nameLabel_.top - kGap - 2;
    }
    list_ = TRect{pad, pathBox_.bottom + kGap, width - pad, std::max(listBottom, pathBox_.bottom + kGap + field)};
    nameField_.Font = atlas;
    nameField_.Color = options_.colours.field;
    nameField_.FontColor = style.text;
    nameField_.SelectionColor = options_.colours.selected;
    nameField_.SelectionFontColor = options_.colours.selectedText;
    SetTop(top_);
    TModalPanel::Arrange(area);
}

void TFileDialog::AdvanceClock(int milliseconds) {
    sincePress_ = std::min(sincePress_ + std::max(milliseconds, 0), 1 << 20);
    TModalPanel::AdvanceClock(milliseconds);
}

void TFileDialog::ActivateField() {
    if (options_.mode == TFileDialogMode::Folder || !IsOpen() || Layer()->Top() != this) return;
    nameField_.Activate();
}

// Actions ------------------------------------------------------------------------------------------------

std::string TFileDialog::ChosenFolder() const {
    if (selected_ >= 0) {
        const TRow& row = rows_[static_cast<std::size_t>(selected_)];
        if (row.isFolder && row.name != "..") return platform::JoinPath(folder_, row.name);
    }
    return folder_;
}

void TFileDialog::Accept() {
    const TRow* row = selected_ >= 0 ? &rows_[static_cast<std::size_t>(selected_)] : nullptr;
    if (options_.mode == TFileDialogMode::Folder) {
        Finish(ChosenFolder());
        return;
    }
    if (listUsedLast_ && row && row->isFolder) {
        OpenRow(selected_);
        return;
    }
    AcceptName(nameField_.Text());
}

void TFileDialog::AcceptName(const std::string& name) {
    if (name.empty()) return;
    std::string path = platform::NormalFolder(platform::JoinPath(folder_, name));
    const auto openInstead = [this, &path] {
        if (!platform::IsExistingFolder(path)) return false;
        OpenFolder(path);
        nameField_.SetText({});
        return true;
    };
    if (openInstead()) return;
    if (options_.mode == TFileDialogMode::Save) {
        if (!HasExtension(path) && !options_.defaultExtension.empty()) path += "." + options_.defaultExtension;
        if (openInstead()) return;
        const std::string parent = platform::ParentFolder(path);
        if (!platform::IsExistingFolder(parent)) {
            Tell("The folder \"" + parent + "\" does not exist.");
            return;
        }
        if (options_.overwritePrompt && platform::IsExistingFile(path)) {
            TMessageBox& question = TMessageBox::Show(
                *Layer(), options_.title, "\"" + BaseName(path) + "\" already exists.\nDo you want to replace it?",
                TMsgButtons::mbYesNo, [this, alive = std::weak_ptr<int>(alive_), path](int result) {
                    if (alive.expired()) return;
                    if (result == mrYes)
                        Finish(path);
                    else
                        ActivateField();
                });
            question.SetDefaultResult(mrNo); // Enter does not replace a file by accident
            return;
        }
        Finish(path);
        return;
    }
    if (!platform::IsExistingFile(path) && !HasExtension(path) && !options_.defaultExtension.empty() &&
        platform::IsExistingFile(path + "." + options_.defaultExtension))
        path += "." + options_.defaultExtension;
    if (!platform::IsExistingFile(path)) {
        Tell("\"" + name + "\" was not found.\nCheck the file name and try again.");
        return;
    }
    Finish(path);
}

void TFileDialog::OpenRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    const TRow& chosen = rows_[static_cast<std::size_t>(row)];
    if (chosen.name == "..")
        GoUp();
    else if (chosen.isFolder)
        OpenFolder(platform::JoinPath(folder_, chosen.name));
    else
        AcceptName(chosen.name);
}

void TFileDialog::GoUp() {
    if (platform::IsRootFolder(folder_)) return;
    const std::string from = BaseName(folder_);
    OpenFolder(platform::ParentFolder(folder_));
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].isFolder && rows_[i].name == from) Select(static_cast<int>(i));
}

void TFileDialog::Finish(const std::string& path) {
    fileName_ = path;
    Close(mrOk);
}

void TFileDialog::Tell(const std::string& text) {
    TMessageBox::Show(*Layer(), options_.title, text, TMsgButtons::mbOK,
                      [this, alive = std::weak_ptr<int>(alive_)](int) {
                          if (!alive.expired()) ActivateField();
                      });
}

// Keys and mouse -----------------------------------------------------------------------------------------

bool TFileDialog::PreviewKey(const TKeyEvent& event) {
    const bool folders = options_.mode == TFileDialogMode::Folder;
    const int last = static_cast<int>(rows_.size()) - 1;
    switch (event.key) {
    case TEditKey::Up:
    case TEditKey::Down:
        if (event.down && last >= 0) {
            const int step = event.key == TEditKey::Up ? -1 : 1;
            Select(selected_ < 0 ? (step < 0 ? last : 0) : std::clamp(selected_ + step, 0, last));
            listUsedLast_ = true;
        }
        return true;
    case TEditKey::Home:
    case TEditKey::End:
        if (!folders && !listUsedLast_ && !nameField_.Text().empty()) return false;
        if (event.down) Select(event.key == TEditKey::Home ? 0 : last);
        listUsedLast_ = true;
        return true;
    case TEditKey::Enter:
        if (!event.down) return true;
        if (selected_ >= 0 && rows_[static_cast<std::size_t>(selected_)].name == ".." && (folders || listUsedLast_))
            GoUp();
        else
            Accept();
        return true;
    case TEditKey::Escape:
        if (event.down) Close(mrCancel);
        return true;
    case TEditKey::Backspace:
        if (folders || nameField_.Text().empty()) {
            if (event.down) GoUp();
            return true;
        }
        listUsedLast_ = false;
        return false;
    default:
        if (event.down && event.key == TEditKey::Other && !event.chars.empty()) listUsedLast_ = false;
        return false;
    }
}

bool TFileDialog::KeyDown(const TKeyEvent& event) {
    // The name field was not active (a message over the dialog took the keys meanwhile): it is again.
    if (options_.mode == TFileDialogMode::Folder) return false;
    ActivateField();
    return nameField_.IsActive() && THookEdit::DispatchKey(event);
}

void TFileDialog::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left || pressed_ != TPart::None) return;
    ActivateField();
    int row = -1;
    const TPart part = PartAt(event.x, event.y, &row);
    switch (part) {
    case TPart::Row:
        listUsedLast_ = true;
        if (row == lastPressedRow_ && sincePress_ <= kDoubleClickMs) {
            lastPressedRow_ = -1;
            Select(row);
            OpenRow(row);
            return;
        }
        Select(row);
        lastPressedRow_ = row;
        sincePress_ = 0;
        return;
    case TPart::ArrowUp:
    case TPart::ArrowDown:
        ScrollBy(part == TPart::ArrowUp ? -1 : 1);
        return;
    case TPart::TrackUp:
    case TPart::TrackDown:
        ScrollBy(part == TPart::TrackUp ? -VisibleRows() : VisibleRows());
        return;
    case TPart::Thumb:
        pressed_ = part;
        dragOffset_ = event.y - ThumbRect().top;
        return;
    case TPart::Ok:
    case TPart::Cancel:
        pressed_ = part;
        pressedInside_ = true;
        InvalidateArea(part == TPart::Ok ? okButton_ : cancelButton_);
        return;
    case TPart::None:
        return;
    }
}

void TFileDialog::MouseMove(const TMouseEvent& event) {
    if (pressed_ == TPart::Thumb) {
        const TRect bar = BarRect();
        const int travel = bar.Height() - 2 * kBar - ThumbRect().Height();
        if (travel > 0) {
            const int offset = event.y - dragOffset_ - (bar.top + kBar);
            SetTop((offset * MaxTop() + travel / 2) / travel);
        }
        return;
    }
    if (pressed_ != TPart::Ok && pressed_ != TPart::Cancel) return;
    const TRect& button = pressed_ == TPart::Ok ? okButton_ : cancelButton_;
    const bool inside = button.Contains(event.x, event.y);
    if (inside == pressedInside_) return;
    pressedInside_ = inside;
    InvalidateArea(button);
}

void TFileDialog::MouseUp(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    const TPart part = pressed_;
    pressed_ = TPart::None;
    if (part != TPart::Ok && part != TPart::Cancel) return;
    const TRect& button = part == TPart::Ok ? okButton_ : cancelButton_;
    InvalidateArea(button);
    if (!button.Contains(event.x, event.y)) return;
    if (part == TPart::Ok)
        Accept();
    else
        Close(mrCancel);
}

bool TFileDialog::MouseWheel(const TMouseEvent& event, int steps) {
    if (!WindowRect().Contains(event.x, event.y)) return false;
    ScrollBy(-steps * kWheelRows);
    return true;
}

// Painting -----------------------------------------------------------------------------------------------

void TFileDialog::PaintField(TPainter& painter, const TRect& area) const {
    painter.FillRect(area, options_.colours.field);
    painter.StrokeRect(area, options_.colours.fieldFrame);
}

void TFileDialog::PaintClient(TPainter& painter, const TRect& client) {
    const TModalStyle& style = Style();
    const TFileDialogColours& colours = options_.colours;
    const TGlyphAtlas* atlas = style.atlas;
    painter.PushClip(client);

    const TRect path = ToWindow(pathBox_);
    PaintField(painter, path);
    DrawFolderMark(painter, path.left + 6, (path.top + path.bottom) / 2, colours.folder);
    if (atlas) {
        const TRect text{path.left + 6 + kIconWidth, path.top, path.right - 6, path.bottom};
        painter.PushClip(text);
        painter.DrawText(*atlas, ElideLeft(*atlas, folder_, text.Width()), text.left, Baseline(*atlas, text),
                         style.text);
        painter.PopClip();
    }

    PaintList(painter, ToWindow(list_));

    if (atlas) {
        const auto label = [&](const TRect& area, std::string_view text) {
            painter.DrawText(*atlas, text, area.left, Baseline(*atlas, area), style.text);
        };
        if (options_.mode == TFileDialogMode::Folder) {
            const TRect area = ToWindow(nameLabel_);
            label(area, "Folder:");
            const int x = area.left + atlas->TextWidth("Folder:") + kGap;
            painter.PushClip(TRect{x, area.top, area.right, area.bottom});
            painter.DrawText(*atlas, ElideLeft(*atlas, ChosenFolder(), area.right - x), x, Baseline(*atlas, area),
                             colours.muted);
            painter.PopClip();
        } else {
            label(ToWindow(nameLabel_), "File name:");
            label(ToWindow(typeLabel_), "Files of type:");
            PaintField(painter, ToWindow(TRect{nameLabel_.right, nameLabel_.top, typeBox_.right, nameLabel_.bottom}));
            const TRect type = ToWindow(typeBox_);
            painter.FillRect(type, colours.rowAlternate);
            painter.StrokeRect(type, colours.fieldFrame);
            painter.PushClip(Inset(type, 1, 1));
            painter.DrawText(*atlas, FilterDescription(), type.left + 5, Baseline(*atlas, type), style.text);
            painter.PopClip();
        }
    }

    const char* ok = options_.mode == TFileDialogMode::Save   ? "Save"
                     : options_.mode == TFileDialogMode::Open ? "Open"
                                                              : "OK";
    PaintButton(painter, ToWindow(okButton_), ok, true, pressed_ == TPart::Ok && pressedInside_);
    PaintButton(painter, ToWindow(cancelButton_), "Cancel", false, pressed_ == TPart::Cancel && pressedInside_);
    painter.PopClip();
}

void TFileDialog::PaintList(TPainter& painter, const TRect& list) const {
    const TModalStyle& style = Style();
    const TFileDialogColours& colours = options_.colours;
    const TGlyphAtlas* atlas = style.atlas;
    PaintField(painter, list);
    const TRect inner = Inset(list, 1, 1);
    painter.PushClip(inner);
    const int rowHeight = RowHeight();
    const int end = std::min(static_cast<int>(rows_.size()), top_ + VisibleRows() + 1);
    for (int i = top_; i < end; ++i) {
        const TRect row = RowRect(i);
        const bool selected = i == selected_;
        if (selected)
            painter.FillRect(row, colours.selected);
        else if (i % 2 != 0)
            painter.FillRect(row, colours.rowAlternate);
        const TRow& entry = rows_[static_cast<std::size_t>(i)];
        const int centre = row.top + rowHeight / 2;
        if (entry.isFolder)
            DrawFolderMark(painter, row.left + 5, centre, entry.name == ".." ? colours.muted : colours.folder);
        else
            DrawFileMark(painter, row.left + 5, centre, colours.field, selected ? colours.selectedText : colours.muted);
        if (atlas) {
            painter.PushClip(TRect{row.left, row.top, row.right - 4, row.bottom});
            painter.DrawText(*atlas, entry.name, row.left + 5 + kIconWidth, Baseline(*atlas, row),
                             selected ? colours.selectedText : style.text);
            painter.PopClip();
        }
    }
    // A note where the rows end: why the list is empty.
    const bool onlyUp = rows_.empty() || (rows_.size() == 1 && rows_.front().name == "..");
    if (atlas && onlyUp) {
        const char* note = !readable_                                 ? "This folder cannot be read."
                           : options_.mode == TFileDialogMode::Folder ? "No folders here."
                                                                      : "No matching files here.";
        const TRect area = RowRect(static_cast<int>(rows_.size()) + 1);
        painter.DrawText(*atlas, note, inner.left + (inner.Width() - atlas->TextWidth(note)) / 2,
                         Baseline(*atlas, area), colours.muted);
    }
    const TRect bar = BarRect();
    if (!bar.Empty()) PaintScrollBar(painter, ToWindow(bar));
    painter.PopClip();
}

void TFileDialog::PaintScrollBar(TPainter& painter, const TRect& bar) const {
    const TFileDialogColours& colours = options_.colours;
    painter.FillRect(bar, colours.scrollTrack);
    const TRect thumb = ToWindow(ThumbRect());
    FillRoundedRect(painter, Inset(thumb, 2, 1), 3, colours.scrollThumb);
    // The arrows: small triangles in the middle of their squares.
    const float cx = static_cast<float>(bar.left + bar.right) / 2.0f;
    const float up = static_cast<float>(bar.top) + kBar / 2.0f;
    const float down = static_cast<float>(bar.bottom) - kBar / 2.0f;
    const std::array<TPointF, 3> upArrow{TPointF{cx - 4, up + 2}, TPointF{cx + 4, up + 2}, TPointF{cx, up - 3}};
    const std::array<TPointF, 3> downArrow{TPointF{cx - 4, down - 2}, TPointF{cx + 4, down - 2}, TPointF{cx, down + 3}};
    painter.FillPolygon(upArrow, colours.muted);
    painter.FillPolygon(downArrow, colours.muted);
}

void TFileDialog::PaintButton(TPainter& painter, const TRect& area, std::string_view caption, bool isDefault,
                              bool pressed) const {
    const TModalStyle& style = Style();
    constexpr int kRadius = 4;
    const int ring = isDefault ? 2 : 1;
    FillRoundedRect(painter, area, kRadius, isDefault ? style.accent : style.buttonFrame);
    const TRect face = Inset(area, ring, ring);
    FillRoundedRect(painter, face, kRadius - ring, pressed ? style.buttonPressed : style.button);
    if (!style.atlas) return;
    const TGlyphAtlas& atlas = *style.atlas;
    const int shift = pressed ? 1 : 0;
    painter.PushClip(face);
    painter.DrawText(atlas, caption, area.left + (area.Width() - atlas.TextWidth(caption)) / 2 + shift,
                     Baseline(atlas, area) + shift, style.text);
    painter.PopClip();
}

// TFolderChooser -----------------------------------------------------------------------------------------

namespace {

TFileDialogOptions FolderOptions(std::string caption, std::string path, const TFileDialogColours& colours) {
    TFileDialogOptions options;
    options.mode = TFileDialogMode::Folder;
    options.title = std::move(caption);
    options.folder = std::move(path);
    options.colours = colours;
    return options;
}

} // namespace

TFolderChooser::TFolderChooser(std::string caption, std::string path, TFileDialogColours colours)
    : TFileDialog(FolderOptions(std::move(caption), std::move(path), colours)) {}

TFolderChooser& TFolderChooser::Show(TModalLayer& layer, std::string caption, std::string path,
                                     TFileDialogCallback onOk, std::function<void()> onCancel,
                                     TFileDialogColours colours) {
    auto chooser = std::make_unique<TFolderChooser>(std::move(caption), std::move(path), colours);
    TFolderChooser* opened = chooser.get();
    layer.Open(std::move(chooser), [opened, onOk = std::move(onOk), onCancel = std::move(onCancel)](int result) {
        if (result == mrOk) {
            const std::string folder = opened->FileName();
            if (onOk) onOk(folder);
        } else if (onCancel) {
            onCancel();
        }
    });
    return *opened;
}

} // namespace quillon
