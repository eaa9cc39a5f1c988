#include "app/Convert.h"

#include "app/AppLinks.h"

namespace app {

TConvertForm* ConvertForm = nullptr;

TConvertForm::TConvertForm(TComponent* owner) : TForm(owner) {
    SetName(u"ConvertForm");
    SetCaption(u"Output Settings");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(480, 420);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

void TConvertForm::FormCreate(TObject*) { OptionLinks.convertForm = this; }

// The main window was hidden while this one is in use.
void TConvertForm::FormClose(TObject*, TCloseAction&) {
    if (OptionLinks.mainForm) OptionLinks.mainForm->Show();
}

}  // namespace app
