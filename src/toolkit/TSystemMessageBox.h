// The system's message box (platform::ShowSystemMessageBox) standing in for TMessageBox where the platform
// has one: while the modal box is up, a panel on the layer keeps the editor from taking input and says where
// the message is. When the box returns, the panel closes with the button chosen (mrOk, mrCancel, mrYes or
// mrNo, as TMessageBox), so the callback runs once, before Show returns. The box's own message loop serves
// the host meanwhile: an editor closed by then drops the panel and its callback unanswered. [gui]
#pragma once

#include "toolkit/TMessageBox.h"
#include "toolkit/TModalLayer.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

class TSystemMessageBox : public TModalPanel {
public:
    explicit TSystemMessageBox(std::string caption);

    // True where the platform has message boxes of its own.
    static bool Available();
    // Shows the system's box over `layer` (see above), where Available; a box the system fails to show
    // becomes a TMessageBox.
    static void Show(TModalLayer& layer, const std::string& caption, const std::string& text, TMsgButtons buttons,
                     TModalCallback onClose);

    void Arrange(const TRect& area) override;
    bool KeyDown(const TKeyEvent& event) override;

protected:
    void PaintClient(TPainter& painter, const TRect& client) override;

private:
    std::vector<std::string> lines_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace quillon
