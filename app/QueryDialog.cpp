#include "app/QueryDialog.h"

#include "app/AppLinks.h"
#include "app/FormBuild.h"
#include "app/OptionSettings.h"
#include "app/QueryRules.h"
#include "framework/forms/IniFiles.h"

namespace app {

TDialogForm* DialogForm = nullptr;

TDialogForm::TDialogForm(TComponent* owner) : TForm(owner) {
    SetName(u"DialogForm");
    SetCaption(u"Query");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poMainFormCenter);
    SetClientSize(420, 176);
    // A fixed area: the runtime question takes five lines.
    labMessage = new TLabel(this);
    labMessage->SetName(u"labMessage");
    labMessage->SetAutoSize(false);
    labMessage->SetWordWrap(true);
    labMessage->SetBounds(16, 14, 388, 96);
    labMessage->SetParent(this);
    chkNeverShow = Place<TCheckBox>(this, this, u"chkNeverShow", 16, 118, 220, 17, u"Never show this again");
    btnYes = Place<TButton>(this, this, u"btnYes", 248, 142, 75, 25, u"&Yes");
    btnYes->SetDefault(true);
    btnNo = Place<TButton>(this, this, u"btnNo", 329, 142, 75, 25, u"&No");
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    btnYes->OnClick = [this](TObject* s) { btnYesClick(s); };
    btnNo->OnClick = [this](TObject* s) { btnNoClick(s); };
}

void TDialogForm::SetQuery(const String& message, const String& caption, const String& key) {
    labMessage->SetCaption(message);
    SetCaption(caption);
    QueryKey = key;
}

void TDialogForm::FormShow(TObject*) {
    Closed = false;
    // A tick left from another question must not silence this one.
    chkNeverShow->SetChecked(false);
    if (OptionLinks.mainForm) OptionLinks.mainForm->SetEnabled(false);
    Answer = u"No";
}

void TDialogForm::FormClose(TObject*, TCloseAction&) {
    Closed = true;
    if (OptionLinks.mainForm) OptionLinks.mainForm->SetEnabled(true);
}

void TDialogForm::SaveNeverShow(const String& answer) {
    const std::vector<SettingWrite> writes = NeverShowWrites(QueryKey, chkNeverShow->Checked(), answer);
    if (writes.empty()) return;
    TIniFile ini(ProgramFolder + kOptionFileName);
    for (const SettingWrite& w : writes) ini.WriteBool(u"Advanced", w.key, w.value);
}

void TDialogForm::btnYesClick(TObject*) {
    SaveNeverShow(u"Yes");
    Answer = u"Yes";
    Close();
}

void TDialogForm::btnNoClick(TObject*) {
    SaveNeverShow(u"No");
    Answer = u"No";
    Close();
}

}  // namespace app
