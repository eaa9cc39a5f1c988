// Every control of the forms layer on one form, each driven by the
// messages a user's actions send.
#include <windows.h>
#include <commctrl.h>

#include "framework/forms/ComCtrls.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;

namespace {

class TBasicForm : public TForm {
public:
    FORMS_CLASS(TBasicForm)
    explicit TBasicForm(TComponent* owner) : TForm(owner) {
        SetCaption(u"Basic");
        SetClientSize(300, 200);
        btn = new TButton(this);
        btn->SetParent(this);
        btn->SetBounds(10, 10, 75, 25);
        btn->SetCaption(u"&Press");
        lab = new TLabel(this);
        lab->SetParent(this);
        lab->SetBounds(10, 50, 10, 10);
        lab->SetCaption(u"A label");
        edt = new TEdit(this);
        edt->SetParent(this);
        edt->SetBounds(10, 80, 120, 21);
        pgc = new TPageControl(this);
        pgc->SetBounds(150, 10, 140, 180);
        pgc->SetParent(this);
        auto* s1 = new TTabSheet(this);
        s1->SetCaption(u"One");
        s1->SetPageControl(pgc);
        auto* g = new TGroupBox(this);
        g->SetBounds(5, 5, 100, 100);
        g->SetCaption(u"Group");
        g->SetParent(s1);
        auto* s2 = new TTabSheet(this);
        s2->SetCaption(u"Two");
        s2->SetPageControl(pgc);
        auto* g2 = new TGroupBox(this);
        g2->SetBounds(5, 5, 100, 100);
        g2->SetCaption(u"Group2");
        g2->SetParent(s2);
        auto* l2 = new TLabel(this);
        l2->SetCaption(u"lab");
        l2->SetParent(g2);
    }
    TPageControl* pgc;
    TButton* btn;
    TLabel* lab;
    TEdit* edt;
};

}  // namespace

WT_TEST(Gallery, ABasicFormShowsAndItsButtonClicks) {
    ft::TestApp app;
    TBasicForm* form = nullptr;
    app.App().CreateForm(form);
    int clicks = 0;
    form->btn->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    ft::Pump(100);
    CHECK(IsWindowVisible(form->Handle()));
    WCHAR cls[64] = {};
    GetClassNameW(form->Handle(), cls, 64);
    CHECK(lstrcmpW(cls, L"TBasicForm") == 0);
    ft::ClickButton(*form->btn);
    CHECK_EQ(clicks, 1);
    CHECK(form->lab->Width() > 20);  // sized to its text
    form->edt->SetText(u"typed");
    CHECK(form->edt->GetText() == u"typed");
    CHECK(app.Errors.empty());
}
