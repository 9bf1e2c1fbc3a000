// A line of text in a baked font: `Caption` in `Font` (atlas and colour), aligned left, centred or right within
// the control and centred vertically on the font's line box, on a transparent background (what lies below
// shows through) or on its `Background` colour when one is set. Text wider than the control is cut off at
// the control's edges. Setting the caption, font, colour or alignment repaints only on a change. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"

#include <optional>
#include <string>

namespace quillon {

enum class TTextAlign { Left, Centre, Right };

class TDIBLabel : public TDIBControl {
public:
    explicit TDIBLabel(const TRect& bounds = TRect{}) : TDIBControl(bounds) {}

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string latin1);
    const TDIBFont& Font() const { return font_; }
    void SetFont(const TDIBFont& font);
    TTextAlign Alignment() const { return alignment_; }
    void SetAlignment(TTextAlign alignment);
    // None: transparent.
    const std::optional<TPixel>& Background() const { return background_; }
    void SetBackground(std::optional<TPixel> background);

    // The pen's start and the baseline in control coordinates for the current caption.
    int TextLeft() const;
    int Baseline() const;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;

private:
    std::string caption_;
    TDIBFont font_;
    TTextAlign alignment_ = TTextAlign::Left;
    std::optional<TPixel> background_;
};

} // namespace quillon
