#include "app/EverydayTips.h"

#include <chrono>
#include <random>

#include "app/AppLinks.h"
#include "app/FormBuild.h"
#include "app/OptionSettings.h"
#include "app/QueryRules.h"
#include "app/option.h"
#include "framework/forms/IniFiles.h"

namespace app {

TTipForm* TipForm = nullptr;

TTipForm::TTipForm(TComponent* owner) : TForm(owner) {
    SetName(u"TipForm");
    SetCaption(u"Everyday Tips");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(400, 260);
    labTitle = new TLabel(this);
    labTitle->SetName(u"labTitle");
    labTitle->SetAutoSize(false);
    labTitle->SetBounds(12, 12, 376, 20);
    labTitle->Font().SetStyle(fsBold);
    labTitle->SetCaption(u"Did you know...");
    labTitle->SetParent(this);
    labContent = Place<TLabel>(this, this, u"labContent", 12, 40, 0, 0, u"Content:");
    memContent = new TMemo(this);
    memContent->SetName(u"memContent");
    memContent->SetReadOnly(true);
    memContent->SetScrollBars(TScrollStyle::ssVertical);
    memContent->SetBounds(12, 58, 376, 150);
    memContent->SetText(u"Corvane converts a whole list of video files in one go. Add files or folders to the Task "
                        u"List, press Convert, choose the output format and press Start.");
    memContent->SetParent(this);
    chkNeverShow = Place<TCheckBox>(this, this, u"chkNeverShow", 12, 230, 280, 17,
                                    u"Never show Everyday Tips when start-up");
    btnOK = Place<TButton>(this, this, u"btnOK", 313, 226, 75, 25, u"&OK");
    btnOK->SetDefault(true);
    btnOK->OnClick = [this](TObject*) { Close(); };
    chkNeverShow->OnClick = [this](TObject* s) { chkNeverShowClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

void TTipForm::FormShow(TObject*) {
    int count;
    {
        TIniFile ini(ProgramFolder + kTipsFileName);
        count = TipCount(ini);
    }
    if (count == 0) return;
    std::mt19937 random(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    ShowTip(TipNumber(random(), count));
}

void TTipForm::ShowTip(int number) {
    TIniFile ini(ProgramFolder + kTipsFileName);
    const Tip tip = ReadTip(ini, number);
    labTitle->SetCaption(tip.title);
    memContent->SetText(tip.content);
}

void TTipForm::chkNeverShowClick(TObject*) {
    if (OptionForm) OptionForm->chkEverydayTips->SetChecked(!chkNeverShow->Checked());
}

void TTipForm::FormClose(TObject*, TCloseAction&) {
    TIniFile ini(ProgramFolder + kOptionFileName);
    ini.WriteBool(u"Advanced", u"EverydayTips", !chkNeverShow->Checked());
}

}  // namespace app
