#include "app/about.h"

#include "app/AppLinks.h"
#include "app/FormBuild.h"
#include "app/Main.h"

namespace app {

TAboutForm* AboutForm = nullptr;

namespace {

const char16_t kMakerName[] = u"Corvane Video Labs";

}  // namespace

TAboutForm::TAboutForm(TComponent* owner) : TForm(owner) {
    SetName(u"AboutForm");
    SetCaption(u"About Corvane");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poMainFormCenter);
    SetClientSize(360, 190);
    labProduct = Place<TLabel>(this, this, u"labProduct", 20, 16, 0, 0, u"Corvane");
    labProduct->Font().SetSize(16);
    labProduct->Font().SetStyle(fsBold);
    labVersion = Place<TLabel>(this, this, u"labVersion", 20, 50, 0, 0, u"Version");
    labDescription = Place<TLabel>(this, this, u"labDescription", 20, 74, 0, 0,
                                   u"Batch video converter for AVI, MPEG and WMV files.");
    labNotice = Place<TLabel>(this, this, u"labNotice", 20, 98, 0, 0);
    btnOK = Place<TButton>(this, this, u"btnOK", 142, 150, 75, 25, u"OK");
    btnOK->SetDefault(true);
    btnOK->SetCancel(true);
    btnOK->SetModalResult(mrOk);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TAboutForm::FormCreate(TObject*) {
    labVersion->SetCaption(u"Version " + (MainForm ? MainForm->VersionText : String(u"1.8")));
    labNotice->SetCaption(String(u"Copyright (C) ") + kMakerName + u". All rights reserved.");
}

void TAboutForm::FormShow(TObject*) {
    if (btnOK->CanFocus()) btnOK->SetFocus();
}

}  // namespace app
