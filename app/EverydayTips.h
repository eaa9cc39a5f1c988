// The tips window shown at start-up while Option.ini Advanced/EverydayTips
// is on: one tip of Tips.ini, picked at random on every show.
#pragma once

#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

class TTipForm : public TForm {
public:
    FORMS_CLASS(TTipForm)
    explicit TTipForm(TComponent* owner);

    // The tip of the given number (from 1) from Tips.ini.
    void ShowTip(int number);

    TLabel* labTitle;
    TLabel* labContent;
    TMemo* memContent;
    TCheckBox* chkNeverShow;
    TButton* btnOK;

private:
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void chkNeverShowClick(TObject* sender);
};

extern TTipForm* TipForm;

}  // namespace app
