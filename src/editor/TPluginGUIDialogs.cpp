// The form's message boxes, questions and file and folder dialogs, drawn on its modal layer.
#include "editor/TPluginGUI.h"

#include "editor/TPluginGUIForm.h"

namespace quillon {

using namespace form;

// Messages and dialogs -------------------------------------------------------------------------------------

void TPluginGUI::AddDialogHandlers(THandlerTable& /*table*/) {}

TMessageBox& TPluginGUI::ShowMessage(std::string caption, std::string text, TMsgButtons buttons,
                                     TModalCallback onClose) {
    return TMessageBox::Show(modalLayer_, std::move(caption), std::move(text), buttons, std::move(onClose));
}

void TPluginGUI::ShowFileDialog(TFileDialogKind /*kind*/, TPathCallback /*onOk*/, std::function<void()> /*onCancel*/) {}

void TPluginGUI::ChooseFolder(std::string /*caption*/, TPathCallback /*onOk*/, std::function<void()> /*onCancel*/) {}

} // namespace quillon
