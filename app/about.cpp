#include "app/about.h"

#include "app/FormBuild.h"

namespace app {

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(TComponent* owner) : TForm(owner) {
    SetName(u"AboutForm");
    SetCaption(u"About Corvane");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poMainFormCenter);
    SetClientSize(360, 200);
    btnOK = Place<TButton>(this, this, u"btnOK", 142, 164, 75, 25, u"OK");
    btnOK->SetDefault(true);
    btnOK->SetCancel(true);
    btnOK->SetModalResult(mrOk);
}

}  // namespace app
