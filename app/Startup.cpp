#include "app/Startup.h"

#include "app/Convert.h"
#include "app/EverydayTips.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/QueryDialog.h"
#include "app/about.h"
#include "app/option.h"

namespace app {

void CreateProgramWindows(forms::TApplication& application) {
    application.CreateForm(MainForm);
    application.CreateForm(ProgressForm);
    application.CreateForm(ConvertForm);
    application.CreateForm(DialogForm);
    application.CreateForm(OptionForm);
    application.CreateForm(AboutForm);
    application.CreateForm(TipForm);
}

void ShowStartupTips() {
    if (OptionForm && OptionForm->chkEverydayTips->Checked() && TipForm) TipForm->Show();
}

}  // namespace app
