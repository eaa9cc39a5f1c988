// The OLE control container with the conversion control: created by class
// identifier inside a form, active in place in its own window, called
// through IVantrexObj, its events arriving as typed handlers.
#include <windows.h>

#include "app/VantrexLib.h"
#include "framework/com/Bstr.h"
#include "framework/forms/Forms.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;

namespace {

class THostForm : public TForm {
public:
    FORMS_CLASS(THostForm)
    explicit THostForm(TComponent* owner) : TForm(owner) {
        SetClientSize(320, 240);
        Vantrex1 = new app::TVantrex(this);
        Vantrex1->SetName(u"Vantrex1");
        Vantrex1->SetBounds(10, 10, 200, 150);
        Vantrex1->SetParent(this);
    }
    app::TVantrex* Vantrex1;
};

// A class identifier nobody registered.
const CLSID kUnknownClass = {0x1b6a2d1c, 0x4c1e, 0x4f7d, {0x9a, 0x55, 0x10, 0x23, 0x34, 0x45, 0x56, 0x67}};

class TBrokenForm : public TForm {
public:
    FORMS_CLASS(TBrokenForm)
    explicit TBrokenForm(TComponent* owner) : TForm(owner) {
        auto* control = new TOleControl(this, kUnknownClass, IID_NULL);
        control->SetParent(this);
        control->HandleNeeded();
    }
};

}  // namespace

WT_TEST(OleContainer, HostsTheControlInPlaceInsideItsWindow) {
    ft::TestApp app;
    THostForm* form = nullptr;
    app.App().CreateForm(form);
    form->Show();
    ft::Pump(50);
    REQUIRE(form->Vantrex1->InPlaceActive());
    // The control's own window is a child of the component's, filling it.
    const HWND site = form->Vantrex1->Handle();
    const HWND inner = GetWindow(site, GW_CHILD);
    REQUIRE(inner != nullptr);
    CHECK(IsWindowVisible(inner));
    RECT r;
    GetClientRect(inner, &r);
    CHECK_EQ(r.right, 200);
    CHECK_EQ(r.bottom, 150);
    form->Vantrex1->SetBounds(10, 10, 160, 120);
    GetClientRect(inner, &r);
    CHECK_EQ(r.right, 160);
    // Hiding the component hides the control with it.
    form->Vantrex1->SetVisible(false);
    CHECK(!IsWindowVisible(inner));
    CHECK(app.Errors.empty());
}

WT_TEST(OleContainer, CallsTheControlAndReceivesItsEvents) {
    ft::TestApp app;
    THostForm* form = nullptr;
    app.App().CreateForm(form);
    std::vector<std::string> events;
    auto* v = form->Vantrex1;
    v->OnComplete = [&](TObject* sender) { events.push_back(sender == v ? "Complete" : "Complete from elsewhere"); };
    v->OnAVICodecListed = [&](TObject*, const String& name, const String& id, EnumMediaType type) {
        events.push_back("AVICodecListed " + TextToUtf8(name) + " [" + TextToUtf8(id) + "] " +
                         std::to_string(static_cast<int>(type)));
    };
    IVantrexObj* control = v->ControlInterface();
    REQUIRE(control != nullptr);
    CHECK_HR(control->StopConversion());
    REQUIRE(!events.empty());
    CHECK(events[0] == "Complete");
    events.clear();
    CHECK_HR(control->ListAVICodecs(mediaVideo));
    REQUIRE(!events.empty());
    CHECK(events[0] == "AVICodecListed <<< No compression >>> [] 0");
    // Properties go through the interface both ways.
    com::Bstr in(u"C:\\clip.avi");
    CHECK_HR(control->put_InputFile(in.Get()));
    com::Bstr out;
    CHECK_HR(control->get_InputFile(out.Put()));
    CHECK(out.Text() == u"C:\\clip.avi");
    CHECK(app.Errors.empty());
}

WT_TEST(OleContainer, AHandlerThatFailsReachesTheErrorBoxNotTheControl) {
    ft::TestApp app;
    THostForm* form = nullptr;
    app.App().CreateForm(form);
    form->Vantrex1->OnComplete = [](TObject*) { throw Exception("handler failed"); };
    CHECK_HR(form->Vantrex1->ControlInterface()->StopConversion());
    REQUIRE(app.Errors.size() == 1);
    CHECK(app.Errors[0] == "handler failed");
}

WT_TEST(OleContainer, AnUnregisteredClassFailsTheFormsCreation) {
    ft::TestApp app;
    TBrokenForm* form = nullptr;
    bool raised = false;
    try {
        app.App().CreateForm(form);
    } catch (const EOleSysError& e) {
        raised = true;
        CHECK_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
    }
    CHECK(raised);
    CHECK(form == nullptr);
    CHECK_EQ(app.App().FormCount(), 0);
}

WT_TEST(OleContainer, TheControlIsReleasedWithItsForm) {
    ft::TestApp app;
    THostForm* form = nullptr;
    app.App().CreateForm(form);
    IVantrexObj* control = form->Vantrex1->ControlInterface();
    control->AddRef();
    delete form;
    // Only our reference is left.
    CHECK_EQ(control->Release(), 0u);
}
