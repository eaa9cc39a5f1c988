// What the skin data component asks of the one skin manager, which hooks
// window creation and runs the deferred skin jobs. The manager itself
// installs its factory here; until one is installed, the manager made on
// first need only records the calls (painting from a skin comes with it).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace forms {
class TCustomForm;
}

namespace skin {

class TSkinData;

// The jobs the manager runs from its timer, 250 ms after they are asked for.
enum SkinJob { kJobActivate = 1, kJobDeactivate = 2, kJobReskin = 3, kJobPurge = 4 };
constexpr int kSkinJobDelay = 250;

class ISkinManager {
public:
    virtual ~ISkinManager() = default;
    virtual void Register(TSkinData* data) = 0;
    virtual void Unregister(TSkinData* data) = 0;
    // The thread hook on window creation and activation.
    virtual void InstallHook() = 0;
    virtual void SetCurrentSkinData(TSkinData* data) = 0;
    // A new skin is coming: what was built from the old one is dropped.
    virtual void PrepareNewSkin() = 0;
    // Replaces a job that has not run yet.
    virtual void QueueJob(SkinJob job, int delayMs) = 0;
    // A dialog-type component has come up: activation counts as seen.
    virtual void NoteActivation() = 0;
    virtual void AttachFormSkinner(forms::TCustomForm* form) = 0;
};

// The manager, or null before the first need.
ISkinManager* SkinManager();
ISkinManager& CreateSkinManager();
// Frees the manager (at shutdown, and between tests).
void DestroySkinManager();
void SetSkinManagerFactory(std::function<std::unique_ptr<ISkinManager>()> factory);

// The manager made while no factory is installed: it does nothing but
// keep the calls, as "Register", "QueueJob 3 250" and so on.
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
