// The list box drawn by its owner: rows of text of a fixed height, a selected row and a top row to scroll.
//
// Row i is filled with LineColorSelected and written in FontSelectedColor when selected, else filled with
// LineColorOdd (odd i) or LineColorEven (even i) and written in FontColor; its text starts one pixel right
// of the row's left edge. After drawing row i the row drawn just before it (when that is still a row) is
// drawn once more with its current colours, and i becomes the row drawn last; so drawing the newly
// selected row also repairs the previous selection's highlight.
//
// Columns: with Columns() > 1 the visible rows run down the first column and go on at the top of the next
// one; each column is Width() / Columns() wide and holds Height() / ItemHeight() whole rows. Visible row j
// (row TopIndex() + j) lies in column j div that count, at row j mod that count. One column shows a part of
// a row at its bottom edge; several columns show whole rows only.
//
// Mouse: a left press selects the row under it and fires OnClick; the platform reports double clicks with
// MouseDoubleClick. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quillon {

class TBAListBox : public TDIBControl {
public:
    explicit TBAListBox(const TRect& bounds = TRect{}) : TDIBControl(bounds) {}

    // Rows ------------------------------------------------------------------------------------------------
    int Count() const { return static_cast<int>(items_.size()); }
    void Clear();
    int AddItem(std::string text);
    // Row i's text; an empty string for a row that does not exist.
    const std::string& Item(int i) const;
    void SetItem(int i, std::string text);

    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);

    int Columns() const { return columns_; }
    void SetColumns(int columns);
    // The whole rows each column holds (every row for a single column).
    int RowsPerColumn() const;

    // The first visible row (0 … Count() - 1, 0 when empty).
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int index);
    // Scrolls by n rows: the top row becomes max(0, top row + n) (and at most the last row).
    void ScrollBy(int rows) { SetTopIndex(std::max(0, topIndex_ + rows)); }

    // The selected row, -1 for none.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

    // Row i's rectangle in control coordinates (above the first or below the last column when scrolled out
    // of view).
    TRect ItemRect(int i) const;
    // The row at (x, y) in control coordinates, or -1.
    int ItemAt(int x, int y) const;

    // The row drawn last (-1 before any drawing).
    int LastDrawn() const { return lastDrawn_; }

    // Colours and font ------------------------------------------------------------------------------------
    TPixel LineColorOdd = Rgb(255, 255, 0);        // yellow
    TPixel LineColorEven = Rgb(255, 255, 255);     // white
    TPixel LineColorSelected = Rgb(153, 180, 209); // the active-caption colour
    TPixel FontSelectedColor = Rgb(0, 0, 0);       // the caption-text colour
    TPixel FontColor = Rgb(0, 0, 0);
    TPixel Color = Rgb(255, 255, 255); // below the last row
    const TGlyphAtlas* Font = nullptr;

    TNotifyEvent OnClick;

    void MouseDown(const TMouseEvent& event) override;
    virtual void MouseDoubleClick(const TMouseEvent& /*event*/) {}

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    // Draws row i and then repairs the row drawn before it (see above).
    void DrawItem(TPainter& painter, const TRect& window, int i);

private:
    void DrawRow(TPainter& painter, const TRect& window, int i) const;
    // The rows the control shows from the top row on, the last one perhaps in part.
    int VisibleRows() const;

    std::vector<std::string> items_;
    int itemHeight_ = 16;
    int columns_ = 1;
    int topIndex_ = 0;
    int itemIndex_ = -1;
    int lastDrawn_ = -1;
};

} // namespace quillon
