// The yes/no query dialog with "Never show this again": modeless, waited
// for by the main window's AskQuery, which reads Answer once Closed is set.
#pragma once

#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

class TDialogForm : public TForm {
public:
    FORMS_CLASS(TDialogForm)
    explicit TDialogForm(TComponent* owner);

    void SetQuery(const String& message, const String& caption, const String& key);
    // Writes the setting of QueryKey: whether to ask again and, for the
    // sub-folder question not to be asked again, the answer to keep.
    void SaveNeverShow(const String& answer);

    bool Closed = true;
    String Answer = u"No";
    String QueryKey;  // "AddAllFile" or "WindowsMediaRuntime"

    TLabel* labMessage;
    TCheckBox* chkNeverShow;
    TButton* btnYes;
    TButton* btnNo;

private:
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void btnYesClick(TObject* sender);
    void btnNoClick(TObject* sender);
};

extern TDialogForm* DialogForm;

}  // namespace app
