// The one skin manager: it decides which top-level windows get skinned and
// when. A thread hook (WH_CBT) on the GUI thread shows it every window being
// created, activated and destroyed; it makes a form skinner for each window
// it accepts and a popup skinner for each popup-menu window, and runs the
// skin data components' requests (activate, deactivate, re-skin, purge) one
// at a time from a 250 ms job timer, after the current message is handled.
//
// The skin data component reaches it through ISkinManager. The manager is
// made on first need (the first component loaded) and freed explicitly at
// shutdown, which takes the hook away and gives every window its own look.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/SkinRules.h"

namespace forms {
class TBitmap;
class TCustomForm;
class TTimer;
}  // namespace forms

namespace skin {

class TSkinData;
class TSkinForm;
class TSkinPopupMenu;

// The jobs the manager runs from its timer, 250 ms after they are asked for.
enum SkinJob {
    kJobActivate = kJobCodeActivate,
    kJobDeactivate = kJobCodeDeactivate,
    kJobReskin = kJobCodeReskin,
    kJobPurge = kJobCodePurge
};
constexpr int kSkinJobDelay = 250;

class ISkinManager {
public:
    virtual ~ISkinManager() = default;
    virtual void Register(TSkinData* data) = 0;
    virtual void Unregister(TSkinData* data) = 0;
    // The thread hook on window creation and activation.
    virtual void InstallHook() = 0;
    // The component the next job is for.
    virtual void SetCurrentSkinData(TSkinData* data) = 0;
    // A new skin is coming: what was built from the old one is dropped.
    virtual void PrepareNewSkin() = 0;
    // Replaces a job that has not run yet.
    virtual void QueueJob(SkinJob job, int delayMs) = 0;
    // A dialog-type component has come up: skinning is on and activation
    // counts as seen.
    virtual void NoteActivation() = 0;
    virtual void AttachFormSkinner(forms::TCustomForm* form) = 0;
};

// The manager, or null before the first need.
ISkinManager* SkinManager();
// The manager, made when there is none (by the factory when one is set,
// else the real one).
ISkinManager& CreateSkinManager();
// Frees the manager (at shutdown, and between tests).
void DestroySkinManager();
// Tests put a recording manager in place with this; empty gives the real one.
void SetSkinManagerFactory(std::function<std::unique_ptr<ISkinManager>()> factory);

class TSkinManage final : public ISkinManager {
public:
    TSkinManage();
    ~TSkinManage() override;

    // ISkinManager.
    void Register(TSkinData* data) override { AddSkinData(data); }
    void Unregister(TSkinData* data) override { RemoveSkinData(data); }
    void InstallHook() override;
    void SetCurrentSkinData(TSkinData* data) override;
    void PrepareNewSkin() override { DropCachedObjects(); }
    void QueueJob(SkinJob job, int delayMs) override { QueueJobCode(job, delayMs); }
    void NoteActivation() override;
    void AttachFormSkinner(forms::TCustomForm* form) override;

    void AddSkinData(TSkinData* data);
    // A component that goes away takes a job still pending for it along.
    void RemoveSkinData(TSkinData* data);
    void QueueJobCode(int code, int delayMs);
    // The job timer's event.
    void RunJob();
    // Decides and makes a form skinner; true when one was made.
    bool SkinWindow(HWND wnd);
    // A new MDI child of a skinned frame, which activation alone does not
    // skin.
    bool SkinMdiChild(HWND wnd);
    SkinRefusal WhyNotSkinned(HWND wnd);
    TSkinForm* FindFormSkinner(HWND wnd) const;
    // Takes the skinner of a window out of the list (it is not freed).
    void RemoveFormSkinner(HWND wnd);
    void CreatePopupSkinner(HWND wnd);
    bool DropPopupSkinner(HWND wnd);
    bool IsPopupSkinned(HWND wnd) const;
    TSkinPopupMenu* FindPopupSkinner(HWND wnd) const;
    forms::TBitmap* PopupBackground(HMENU menu) const;
    void DropCachedObjects();
    void SetMdiMaximized(bool value);
    int CountMdiChildren() const;
    static forms::TCustomForm* FormOfWindow(HWND wnd);
    static bool IsMdiChild(HWND wnd);
    bool CanSkinClass(const std::string& className) const;
    TSkinData* SkinDataFor(HWND wnd) const;

    bool Active() const { return m_jobs.active; }
    bool ActivatingAll() const { return m_activatingAll; }
    bool ActivationSeen() const { return m_jobs.activationSeen; }
    bool MdiMaximized() const { return m_mdiMaximized; }
    bool HookInstalled() const { return m_hook != nullptr; }
    int JobCode() const { return m_jobs.jobCode; }
    TSkinData* JobSkinData() const;
    bool JobTimerEnabled() const;
    const std::vector<TSkinForm*>& FormSkinners() const { return m_formSkinners; }
    const std::vector<TSkinPopupMenu*>& PopupSkinners() const { return m_popupSkinners; }
    const std::vector<TSkinData*>& SkinDatas() const { return m_skinDatas; }
    // How many jobs ran (tests count them).
    int JobsRun() const { return m_jobsRun; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void SyncTimer();
    void DetachAndFree(TSkinForm* skinner);

    std::unique_ptr<forms::TTimer> m_jobTimer;
    HHOOK m_hook = nullptr;
    std::vector<TSkinForm*> m_formSkinners;
    std::vector<TSkinPopupMenu*> m_popupSkinners;
    std::vector<TSkinData*> m_skinDatas;
    bool m_activatingAll = false;
    bool m_mdiMaximized = false;
    SkinJobQueue m_jobs;
    int m_jobsRun = 0;
};

// The real manager when it is the one in place, else null.
TSkinManage* SkinManage();
// The Windows version value read when the hook was installed.
extern DWORD SkinWindowsVersion;

// A manager that does nothing but keep the calls ("Register", "QueueJob 3
// 250" and so on), for tests of the component alone.
class SkinCallLog final : public ISkinManager {
public:
    void Register(TSkinData*) override { Calls.push_back("Register"); }
    void Unregister(TSkinData*) override { Calls.push_back("Unregister"); }
    void InstallHook() override { Calls.push_back("InstallHook"); }
    void SetCurrentSkinData(TSkinData*) override { Calls.push_back("SetCurrentSkinData"); }
    void PrepareNewSkin() override { Calls.push_back("PrepareNewSkin"); }
    void QueueJob(SkinJob job, int delayMs) override {
        Calls.push_back("QueueJob " + std::to_string(job) + " " + std::to_string(delayMs));
    }
    void NoteActivation() override { Calls.push_back("NoteActivation"); }
    void AttachFormSkinner(forms::TCustomForm*) override { Calls.push_back("AttachFormSkinner"); }

    std::vector<std::string> Calls;
};

}  // namespace skin
