#include "app/Progress.h"

#include "app/FormBuild.h"

namespace app {

TProgressForm* ProgressForm = nullptr;

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner) {
    SetName(u"ProgressForm");
    SetCaption(u"Progress");
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(640, 480);
    pgcLog = Place<TPageControl>(this, this, u"pgcLog", 8, 8, 624, 420);
    tabLog = new TTabSheet(this);
    tabLog->SetName(u"tabLog");
    tabLog->SetCaption(u"   Log   ");
    tabLog->SetPageControl(pgcLog);
    tabPreview = new TTabSheet(this);
    tabPreview->SetName(u"tabPreview");
    tabPreview->SetCaption(u"Preview");
    tabPreview->SetPageControl(pgcLog);
    pgcLog->SetActivePageIndex(0);

    Vantrex1 = new TVantrex(this);
    Vantrex1->SetName(u"Vantrex1");
    Vantrex1->SetAlign(TAlign::alClient);
    Vantrex1->SetParent(tabPreview);
    // Created by class identifier as the window streams in, after the
    // main window's instance.
    Vantrex1->HandleNeeded();
}

}  // namespace app
