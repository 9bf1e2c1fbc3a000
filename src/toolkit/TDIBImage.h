// A plain image of the skin (`IndexMain`, drawn whole at the control's top-left corner at its opacity and
// with the image's key colour), or, without an image, a plain clickable area. A left press and release
// both inside the control fire OnClick (an image used as a link shows the hand cursor: SetCursor). With
// AutoSize the control takes the size of its image. [gui]
#pragma once

#include "toolkit/TDIBControl.h"

namespace quillon {

class TDIBImage : public TDIBControl {
public:
    explicit TDIBImage(const TRect& bounds = TRect{}) : TDIBControl(bounds) {}

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);

    TNotifyEvent OnClick;

    void MouseDown(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    int indexMain_ = -1;
    bool pressed_ = false;
};

} // namespace quillon
