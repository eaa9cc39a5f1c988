#include "app/EverydayTips.h"

#include "app/FormBuild.h"

namespace app {

TTipForm* TipForm = nullptr;

TTipForm::TTipForm(TComponent* owner) : TForm(owner) {
    SetName(u"TipForm");
    SetCaption(u"Everyday Tips");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(400, 260);
    btnOK = Place<TButton>(this, this, u"btnOK", 317, 226, 75, 25, u"&OK");
    btnOK->SetDefault(true);
    btnOK->OnClick = [this](TObject*) { Close(); };
}

}  // namespace app
