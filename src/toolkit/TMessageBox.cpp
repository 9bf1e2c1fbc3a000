#include "toolkit/TMessageBox.h"

#include <algorithm>

namespace quillon {

namespace {

const char* CaptionOf(int result) {
    switch (result) {
    case mrOk:
        return "OK";
    case mrCancel:
        return "Cancel";
    case mrYes:
        return "Yes";
    case mrNo:
        return "No";
    default:
        return "";
    }
}

// Appends the lines of one paragraph (no '\n' in it).
void WrapParagraph(const TGlyphAtlas& atlas, std::string_view paragraph, int width, std::vector<std::string>& lines) {
    std::string line;
    std::size_t pos = 0;
    while (pos < paragraph.size()) {
        const std::size_t end = std::min(paragraph.find(' ', pos), paragraph.size());
        std::string_view word = paragraph.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) continue;
        const std::string joined = line.empty() ? std::string(word) : line + ' ' + std::string(word);
        if (atlas.TextWidth(joined) <= width) {
            line = joined;
            continue;
        }
        if (!line.empty()) lines.push_back(std::move(line));
        line.clear();
        // A word wider than a line goes on as many lines as it needs, at least one letter a line.
        while (atlas.TextWidth(word) > width) {
            std::size_t fit = 1;
            while (fit < word.size() && atlas.TextWidth(word.substr(0, fit + 1)) <= width)
                ++fit;
            lines.emplace_back(word.substr(0, fit));
            word.remove_prefix(fit);
        }
        line = std::string(word);
    }
    lines.push_back(std::move(line));
}

} // namespace

std::vector<std::string> WrapText(const TGlyphAtlas& atlas, std::string_view text, int width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        WrapParagraph(atlas, text.substr(start, end == std::string_view::npos ? end : end - start), width, lines);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

TMessageBox::TMessageBox(std::string caption, std::string text, TMsgButtons buttons)
    : TModalPanel(std::move(caption)), text_(std::move(text)) {
    switch (buttons) {
    case TMsgButtons::mbOK:
        results_ = {mrOk};
        count_ = 1;
        break;
    case TMsgButtons::mbOKCancel:
        results_ = {mrOk, mrCancel};
        count_ = 2;
        break;
    case TMsgButtons::mbYesNo:
        results_ = {mrYes, mrNo};
        count_ = 2;
        break;
    case TMsgButtons::mbYesCancel:
        results_ = {mrYes, mrCancel};
        count_ = 2;
        break;
    case TMsgButtons::mbYesNoCancel:
        results_ = {mrYes, mrNo, mrCancel};
        count_ = 3;
        break;
    }
    cancel_ = count_ - 1;
}

TMessageBox& TMessageBox::Show(TModalLayer& layer, std::string caption, std::string text, TMsgButtons buttons,
                               TModalCallback onClose) {
    auto box = std::make_unique<TMessageBox>(std::move(caption), std::move(text), buttons);
    return static_cast<TMessageBox&>(layer.Open(std::move(box), std::move(onClose)));
}

int TMessageBox::IndexOf(int result) const {
    for (int i = 0; i < count_; ++i)
        if (results_[static_cast<std::size_t>(i)] == result) return i;
    return -1;
}

void TMessageBox::SetDefaultResult(int result) {
    const int index = IndexOf(result);
    if (index < 0) return;
    InvalidateButton(focused_);
    InvalidateButton(default_);
    default_ = index;
    focused_ = index;
    InvalidateButton(index);
}

void TMessageBox::SetCancelResult(int result) {
    if (const int index = IndexOf(result); index >= 0) cancel_ = index;
}

TRect TMessageBox::ButtonRect(int index) const {
    const TRect window = WindowRect();
    return buttons_[static_cast<std::size_t>(index)].Translated(window.left, window.top);
}

int TMessageBox::ButtonAt(int x, int y) const {
    for (int i = 0; i < count_; ++i)
        if (buttons_[static_cast<std::size_t>(i)].Contains(x, y)) return i;
    return -1;
}

void TMessageBox::InvalidateButton(int index) {
    if (!IsOpen() || index < 0) return;
    if (TDirtyRegion* dirty = Parent() ? Parent()->DirtyRegion() : nullptr) dirty->Add(ButtonRect(index));
}

void TMessageBox::Arrange(const TRect& area) {
    const TModalStyle& style = Style();
    const int padding = style.padding;
    std::array<int, kMaxButtons> widths{};
    int row = 0;
    for (int i = 0; i < count_; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const int caption = style.atlas ? style.atlas->TextWidth(CaptionOf(results_[k])) : 0;
        widths[k] = std::max(style.buttonMinWidth, caption + 2 * padding);
        row += widths[k] + (i > 0 ? style.buttonGap : 0);
    }
    // The text's width: its widest paragraph, within the limits and the window.
    const int room = area.Width() - 2 * padding - 2 * kFrame - 32;
    int textWidth = 0;
    if (style.atlas) {
        for (const std::string& paragraph : WrapText(*style.atlas, text_, 1 << 20))
            textWidth = std::max(textWidth, style.atlas->TextWidth(paragraph));
        const int title = style.TitleAtlas()->TextWidth(Caption());
        textWidth = std::clamp(std::max(textWidth, title), kMinTextWidth, kMaxTextWidth);
    }
    textWidth = std::max(std::min(textWidth, room), row);
    lines_ = style.atlas ? WrapText(*style.atlas, text_, textWidth) : std::vector<std::string>{};
    const int lineHeight = style.atlas ? style.atlas->LineHeight() : 0;
    const int width = textWidth + 2 * padding + 2 * kFrame;
    const int height = style.titleHeight + padding + static_cast<int>(lines_.size()) * lineHeight + padding +
                       style.buttonHeight + padding + kFrame;
    SetSize(width, height);
    int x = (width - row) / 2;
    const int y = height - kFrame - padding - style.buttonHeight;
    for (int i = 0; i < count_; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        buttons_[k] = TRect::FromSize(x, y, widths[k], style.buttonHeight);
        x += widths[k] + style.buttonGap;
    }
    TModalPanel::Arrange(area);
}

bool TMessageBox::KeyDown(const TKeyEvent& event) {
    switch (event.key) {
    case TEditKey::Enter:
        if (event.down) Close(results_[static_cast<std::size_t>(focused_)]);
        return true;
    case TEditKey::Escape:
        if (event.down) Close(results_[static_cast<std::size_t>(cancel_)]);
        return true;
    case TEditKey::Left:
    case TEditKey::Right:
        if (event.down) {
            const int step = event.key == TEditKey::Left ? -1 : 1;
            InvalidateButton(focused_);
            focused_ = std::clamp(focused_ + step, 0, count_ - 1);
            InvalidateButton(focused_);
        }
        return true;
    default:
        return false;
    }
}

void TMessageBox::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left || pressed_ >= 0) return;
    pressed_ = ButtonAt(event.x, event.y);
    if (pressed_ < 0) return;
    pressedInside_ = true;
    InvalidateButton(focused_);
    focused_ = pressed_;
    InvalidateButton(pressed_);
}

void TMessageBox::MouseMove(const TMouseEvent& event) {
    if (pressed_ < 0) return;
    const bool inside = buttons_[static_cast<std::size_t>(pressed_)].Contains(event.x, event.y);
    if (inside == pressedInside_) return;
    pressedInside_ = inside;
    InvalidateButton(pressed_);
}

void TMessageBox::MouseUp(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left || pressed_ < 0) return;
    const int chosen = pressed_;
    const bool inside = buttons_[static_cast<std::size_t>(chosen)].Contains(event.x, event.y);
    pressed_ = -1;
    pressedInside_ = false;
    InvalidateButton(chosen);
    if (inside) Close(results_[static_cast<std::size_t>(chosen)]);
}

void TMessageBox::PaintClient(TPainter& painter, const TRect& client) {
    const TModalStyle& style = Style();
    const TRect window = WindowRect();
    if (style.atlas) {
        const TGlyphAtlas& atlas = *style.atlas;
        painter.PushClip(client);
        int baseline = client.top + style.padding + atlas.Ascent();
        for (const std::string& line : lines_) {
            painter.DrawText(atlas, line, client.left + style.padding, baseline, style.text);
            baseline += atlas.LineHeight();
        }
        painter.PopClip();
    }
    for (int i = 0; i < count_; ++i)
        PaintButton(painter, i, buttons_[static_cast<std::size_t>(i)].Translated(window.left, window.top));
}

void TMessageBox::PaintButton(TPainter& painter, int index, const TRect& area) const {
    const TModalStyle& style = Style();
    constexpr int kRadius = 4;
    const bool focused = index == focused_;
    const int ring = focused ? 2 : 1;
    const TPixel frame = focused || index == default_ ? style.accent : style.buttonFrame;
    FillRoundedRect(painter, area, kRadius, frame);
    const TRect face{area.left + ring, area.top + ring, area.right - ring, area.bottom - ring};
    FillRoundedRect(painter, face, kRadius - ring, index == PressedButton() ? style.buttonPressed : style.button);
    if (!style.atlas) return;
    const TGlyphAtlas& atlas = *style.atlas;
    const char* caption = CaptionOf(results_[static_cast<std::size_t>(index)]);
    const int shift = index == PressedButton() ? 1 : 0; // a pressed caption sinks by a pixel
    const int x = area.left + (area.Width() - atlas.TextWidth(caption)) / 2 + shift;
    const int baseline = area.top + (area.Height() - atlas.Ascent() - atlas.Descent()) / 2 + atlas.Ascent() + shift;
    painter.PushClip(face);
    painter.DrawText(atlas, caption, x, baseline, style.text);
    painter.PopClip();
}

} // namespace quillon
