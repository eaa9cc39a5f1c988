#include "skin/SkinManager.h"

#include <algorithm>

#include "framework/com/WinText.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinMenu.h"

namespace skin {

DWORD SkinWindowsVersion = 0;

namespace {

std::unique_ptr<ISkinManager>& Instance() {
    static std::unique_ptr<ISkinManager> manager;
    return manager;
}

std::function<std::unique_ptr<ISkinManager>()>& Factory() {
    static std::function<std::unique_ptr<ISkinManager>()> factory;
    return factory;
}

std::string ClassNameOf(HWND wnd) {
    char name[101] = {};
    GetClassNameA(wnd, name, 100);
    return name;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

int KindOf(const TSkinData* d) {
    switch (d->SkinFormtype) {
    case TSkinFormType::sfOnlyThisForm: return kSkinOnlyThisForm;
    case TSkinFormType::sfDialog: return kSkinDialog;
    default: return kSkinMainform;
    }
}

HWND OwnerWindow(const TSkinData* d) {
    auto* form = dynamic_cast<forms::TCustomForm*>(d->Owner());
    return form && form->HandleAllocated() ? form->Handle() : nullptr;
}

// The manager's questions about one window, asked of the real window.
class WindowProbe final : public SkinWindowProbe {
public:
    WindowProbe(TSkinManage& manager, HWND wnd) : m(manager), w(wnd) {}
    bool ManagerActive() override { return m.Active(); }
    bool AnswersSkinned() override { return SendMessageW(w, 0x3504, 0, 0) == 1; }
    bool HasSkinner() override { return m.FindFormSkinner(w) != nullptr; }
    bool ActivatingAll() override { return m.ActivatingAll(); }
    bool IsMdiChild() override { return TSkinManage::IsMdiChild(w); }
    int64_t Area() override {
        RECT r{};
        GetWindowRect(w, &r);
        return static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
    }
    bool HasForm() override { return TSkinManage::FormOfWindow(w) != nullptr; }
    int FormTag() override { return TSkinManage::FormOfWindow(w)->Tag(); }
    std::string ClassName() override { return ClassNameOf(w); }
    bool CanSkinClass(const std::string& name) override { return m.CanSkinClass(name); }
    int SkinDataIndex(const std::string&) override {
        TSkinData* d = m.SkinDataFor(w);
        const auto& list = m.SkinDatas();
        const auto it = std::find(list.begin(), list.end(), d);
        return it == list.end() ? -1 : static_cast<int>(it - list.begin());
    }
    bool SkinLoaded(int index) override { return !m.SkinDatas()[static_cast<size_t>(index)]->NoSkinLoaded(); }

private:
    TSkinManage& m;
    HWND w;
};

}  // namespace

ISkinManager* SkinManager() { return Instance().get(); }

ISkinManager& CreateSkinManager() {
    auto& manager = Instance();
    if (!manager) manager = Factory() ? Factory()() : std::make_unique<TSkinManage>();
    return *manager;
}

void DestroySkinManager() { Instance().reset(); }

void SetSkinManagerFactory(std::function<std::unique_ptr<ISkinManager>()> factory) { Factory() = std::move(factory); }

TSkinManage* SkinManage() { return dynamic_cast<TSkinManage*>(SkinManager()); }

// ---- Life -----------------------------------------------------------------------------------

TSkinManage::TSkinManage() : m_jobTimer(std::make_unique<forms::TTimer>(nullptr)) {
    m_jobTimer->SetEnabled(false);
    m_jobTimer->SetInterval(kSkinJobDelay);
    m_jobTimer->OnTimer = [this](forms::TObject*) { RunJob(); };
}

TSkinManage::~TSkinManage() {
    m_jobTimer.reset();
    if (m_hook) UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
    while (!m_formSkinners.empty()) {
        TSkinForm* s = m_formSkinners.back();
        m_formSkinners.pop_back();
        // Closing: the controls keep the colours they have now.
        s->SkinState = 4;
        s->DetachOnDestroy();
        delete s;
    }
    while (!m_popupSkinners.empty()) {
        delete m_popupSkinners.back();
        m_popupSkinners.pop_back();
    }
}

void TSkinManage::InstallHook() {
    // One hook for the thread, however many main-form components come.
    if (m_hook) return;
    SkinWindowsVersion = GetVersion();
    m_hook = SetWindowsHookExW(WH_CBT, &TSkinManage::HookProc, nullptr, GetCurrentThreadId());
}

void TSkinManage::AddSkinData(TSkinData* data) { m_skinDatas.push_back(data); }

void TSkinManage::RemoveSkinData(TSkinData* data) {
    const auto it = std::find(m_skinDatas.begin(), m_skinDatas.end(), data);
    if (it == m_skinDatas.end()) return;
    m_skinDatas.erase(it);
    // A job still pending for the component goes with it: the timer must
    // not run a job on a freed component.
    m_jobs.Forget(data);
    SyncTimer();
    // Nothing may keep drawing from a component that is gone.
    for (size_t i = m_formSkinners.size(); i-- > 0;) {
        TSkinForm* s = m_formSkinners[i];
        if (s->SkinData != data) continue;
        m_formSkinners.erase(m_formSkinners.begin() + static_cast<std::ptrdiff_t>(i));
        s->SkinState = 4;
        s->DetachOnDestroy();
        delete s;
    }
    for (size_t i = m_popupSkinners.size(); i-- > 0;) {
        TSkinPopupMenu* p = m_popupSkinners[i];
        if (p->SkinData() != data) continue;
        m_popupSkinners.erase(m_popupSkinners.begin() + static_cast<std::ptrdiff_t>(i));
        delete p;
    }
}

void TSkinManage::SetCurrentSkinData(TSkinData* data) { m_jobs.jobData = data; }

TSkinData* TSkinManage::JobSkinData() const { return static_cast<TSkinData*>(const_cast<void*>(m_jobs.jobData)); }

bool TSkinManage::JobTimerEnabled() const { return m_jobTimer && m_jobTimer->Enabled(); }

void TSkinManage::NoteActivation() {
    m_jobs.active = true;
    m_jobs.activationSeen = true;
}

void TSkinManage::AttachFormSkinner(forms::TCustomForm* form) {
    if (form) SkinWindow(form->Handle());
}

// ---- Jobs -----------------------------------------------------------------------------------

void TSkinManage::SyncTimer() {
    if (!m_jobTimer) return;
    m_jobTimer->SetInterval(static_cast<UINT>(m_jobs.interval));
    m_jobTimer->SetEnabled(m_jobs.timerEnabled);
}

void TSkinManage::QueueJobCode(int code, int delayMs) {
    m_jobs.Queue(code, delayMs);
    SyncTimer();
}

void TSkinManage::DetachAndFree(TSkinForm* s) {
    const HWND wnd = s->Handle;
    s->Detach();
    TSkinForm::RefreshWindow(wnd);
    m_formSkinners.erase(std::remove(m_formSkinners.begin(), m_formSkinners.end(), s), m_formSkinners.end());
    delete s;
}

void TSkinManage::RunJob() {
    const void* data = nullptr;
    const int code = m_jobs.Take(data);
    SyncTimer();
    if (!data) return;
    auto* d = static_cast<TSkinData*>(const_cast<void*>(data));
    ++m_jobsRun;
    auto purge = [&] {
        for (size_t i = m_formSkinners.size(); i-- > 0;) {
            TSkinForm* s = m_formSkinners[i];
            if (s->SkinState != 6) continue;
            m_formSkinners.erase(m_formSkinners.begin() + static_cast<std::ptrdiff_t>(i));
            delete s;
        }
    };
    const std::vector<TSkinForm*> skinners = m_formSkinners;
    if (d->SkinFormtype == TSkinFormType::sfOnlyThisForm) {
        switch (code) {
        case kJobCodeActivate: {
            m_jobs.active = true;
            m_activatingAll = true;
            if (forms::Application)
                for (int i = forms::Application->FormCount() - 1; i >= 0; --i) {
                    forms::TCustomForm* f = forms::Application->Forms(i);
                    if (f != d->Owner()) continue;
                    SkinWindow(f->Handle());
                    break;
                }
            m_activatingAll = false;
            break;
        }
        case kJobCodeDeactivate:
            m_jobs.active = false;
            for (auto it = skinners.rbegin(); it != skinners.rend(); ++it)
                if ((*it)->SkinData == d) {
                    DetachAndFree(*it);
                    break;
                }
            break;
        case kJobCodeReskin:
            for (TSkinForm* s : skinners)
                if (s->SkinData == d) {
                    s->FreeSysButtons();
                    s->LoadNCMetrics();
                    s->Reskin();
                    break;
                }
            break;
        case kJobCodePurge: purge(); break;
        default: break;
        }
    } else {
        switch (code) {
        case kJobCodeActivate:
            m_jobs.active = true;
            m_activatingAll = true;
            if (forms::Application)
                // Forms whose window is not made yet get it now.
                for (int i = forms::Application->FormCount() - 1; i >= 0; --i)
                    SkinWindow(forms::Application->Forms(i)->Handle());
            m_activatingAll = false;
            break;
        case kJobCodeDeactivate:
            m_jobs.active = false;
            for (auto it = skinners.rbegin(); it != skinners.rend(); ++it) DetachAndFree(*it);
            break;
        case kJobCodeReskin:
            for (TSkinForm* s : skinners)
                if (s->SkinData == d) {
                    s->FreeSysButtons();
                    s->LoadNCMetrics();
                }
            for (TSkinForm* s : skinners)
                if (s->SkinData == d) s->Reskin();
            break;
        case kJobCodePurge: purge(); break;
        default: break;
        }
    }
    d->DoSkinChanged();
    m_jobs.Done();
}

// ---- Which window is skinned -------------------------------------------------------------

SkinRefusal TSkinManage::WhyNotSkinned(HWND wnd) {
    WindowProbe probe(*this, wnd);
    int index = -1;
    return DecideSkinWindow(probe, index);
}

bool TSkinManage::SkinWindow(HWND wnd) {
    if (!wnd || !IsWindow(wnd)) return false;
    WindowProbe probe(*this, wnd);
    int index = -1;
    if (DecideSkinWindow(probe, index) != SkinRefusal::None) return false;
    TSkinData* d = m_skinDatas[static_cast<size_t>(index)];
    forms::TCustomForm* form = FormOfWindow(wnd);
    auto* skinner = new TSkinForm(form);
    skinner->Handle = wnd;
    if (form) skinner->AttachForm(d, form);
    else skinner->AttachWindow(d);
    m_formSkinners.push_back(skinner);
    PostMessageW(wnd, WM_SKIN_ATTACHED, 0, 1000);
    return true;
}

bool TSkinManage::SkinMdiChild(HWND wnd) {
    const bool was = m_activatingAll;
    m_activatingAll = true;
    const bool made = SkinWindow(wnd);
    m_activatingAll = was;
    return made;
}

TSkinForm* TSkinManage::FindFormSkinner(HWND wnd) const {
    for (TSkinForm* s : m_formSkinners)
        if (s->Handle == wnd) return s;
    return nullptr;
}

void TSkinManage::RemoveFormSkinner(HWND wnd) {
    const auto it =
        std::find_if(m_formSkinners.begin(), m_formSkinners.end(), [wnd](TSkinForm* s) { return s->Handle == wnd; });
    if (it != m_formSkinners.end()) m_formSkinners.erase(it);
}

forms::TCustomForm* TSkinManage::FormOfWindow(HWND wnd) {
    if (!forms::Application || !wnd) return nullptr;
    for (int i = 0; i < forms::Application->FormCount(); ++i) {
        forms::TCustomForm* f = forms::Application->Forms(i);
        if (f->HandleAllocated() && f->Handle() == wnd) return f;
    }
    return nullptr;
}

bool TSkinManage::IsMdiChild(HWND wnd) {
    if (!(GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD)) return false;
    const HWND parent = GetParent(wnd);
    return parent && Lower(ClassNameOf(parent)) == "mdiclient";
}

bool TSkinManage::CanSkinClass(const std::string& className) const {
    for (TSkinData* d : m_skinDatas) {
        if (d->SkinFormtype != TSkinFormType::sfMainform) continue;
        bool doSkin = true;
        d->AskFormSkin(forms::Utf8ToText(className), doSkin);
        return doSkin;
    }
    return true;
}

TSkinData* TSkinManage::SkinDataFor(HWND wnd) const {
    std::vector<SkinDataEntry> entries;
    entries.reserve(m_skinDatas.size());
    for (TSkinData* d : m_skinDatas) entries.push_back({KindOf(d), OwnerWindow(d) == wnd});
    const int i = skin::SkinDataFor(entries, ClassNameOf(wnd));
    return i < 0 ? nullptr : m_skinDatas[static_cast<size_t>(i)];
}

// ---- Popup menus -------------------------------------------------------------------------------

void TSkinManage::CreatePopupSkinner(HWND wnd) {
    if (!m_jobs.active || IsPopupSkinned(wnd)) return;
    if (SendMessageW(wnd, 0x3504, 0, 0) == 1) return;
    TSkinData* d = SkinDataFor(wnd);
    if (!d || d->NoSkinLoaded() || !(d->SkinControls & SkinControlBit(xcMainMenu))) return;
    auto* popup = new TSkinPopupMenu();
    popup->Attach(wnd, d, nullptr);
    m_popupSkinners.push_back(popup);
}

bool TSkinManage::DropPopupSkinner(HWND wnd) {
    for (auto it = m_popupSkinners.begin(); it != m_popupSkinners.end(); ++it) {
        if ((*it)->Handle() != wnd) continue;
        TSkinPopupMenu* p = *it;
        m_popupSkinners.erase(it);
        p->Detach();
        delete p;
        return true;
    }
    return false;
}

bool TSkinManage::IsPopupSkinned(HWND wnd) const { return FindPopupSkinner(wnd) != nullptr; }

TSkinPopupMenu* TSkinManage::FindPopupSkinner(HWND wnd) const {
    for (TSkinPopupMenu* p : m_popupSkinners)
        if (p->Handle() == wnd) return p;
    return nullptr;
}

forms::TBitmap* TSkinManage::PopupBackground(HMENU menu) const {
    for (TSkinPopupMenu* p : m_popupSkinners)
        if (p->MenuHandle() == menu) return &p->Background();
    return nullptr;
}

void TSkinManage::DropCachedObjects() {
    for (TSkinForm* s : m_formSkinners) s->FreeSysButtons();
}

// ---- MDI ------------------------------------------------------------------------------------

void TSkinManage::SetMdiMaximized(bool value) {
    if (value == m_mdiMaximized) return;
    m_mdiMaximized = value;
    for (TSkinForm* s : std::vector<TSkinForm*>(m_formSkinners)) {
        if (s->WindowKind != 2) continue;
        if (value) {
            s->DropRegion();
            s->SetSysStyles(true);
        } else if (s->ShowState == 1) {
            s->SetSysStyles(true);
        } else {
            s->ShowState = 0;
            s->UpdateRegion();
            s->SetSysStyles(false);
            if (!s->RegionSet()) s->FrameChanged();
        }
    }
}

int TSkinManage::CountMdiChildren() const {
    return static_cast<int>(
        std::count_if(m_formSkinners.begin(), m_formSkinners.end(), [](TSkinForm* s) { return s->WindowKind == 2; }));
}

// ---- The hook ---------------------------------------------------------------------------------

LRESULT CALLBACK TSkinManage::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    TSkinManage* self = SkinManage();
    const HHOOK hook = self ? self->m_hook : nullptr;
    if (code < 0 || !self) return CallNextHookEx(hook, code, wParam, lParam);
    try {
        const HWND wnd = reinterpret_cast<HWND>(wParam);
        switch (code) {
        case HCBT_CREATEWND: {
            const std::string cls = ClassNameOf(wnd);
            if (cls == "ScrollBar") {
                const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
                // A skinned frame draws its own size grip.
                if (cs && (cs->style & SBS_SIZEGRIP) && self->FindFormSkinner(cs->hwndParent)) return 10;
            } else if (cls == "#32768") {
                self->CreatePopupSkinner(wnd);
            }
            break;
        }
        case HCBT_DESTROYWND:
            self->DropPopupSkinner(wnd);
            break;
        case HCBT_ACTIVATE:
            self->m_jobs.activationSeen = true;
            self->SkinWindow(wnd);
            break;
        default:
            break;
        }
    } catch (...) {
        // A window the manager cannot skin keeps its own look.
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace skin
