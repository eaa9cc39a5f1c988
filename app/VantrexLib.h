// The conversion control as a component of the program's windows: created
// by class identifier inside its own window, called through IVantrexObj,
// its events delivered as typed handlers.
#pragma once

#include "convctl/Tromvex.h"
#include "framework/forms/OleCtrls.h"

namespace app {

using forms::String;
using forms::TObject;

class TVantrex : public forms::TOleControl {
public:
    FORMS_CLASS(TVantrex)
    explicit TVantrex(forms::TComponent* owner);

    // Raises EOleSysError when the control cannot be created.
    IVantrexObj* ControlInterface();

    std::function<void(TObject* sender)> OnAboutToRun;
    std::function<void(TObject* sender, const String& codecName, const String& codecGuid, EnumMediaType codecType)>
        OnAVICodecListed;
    std::function<void(TObject* sender)> OnComplete;
    std::function<void(TObject* sender, int error, const String& errorMessage)> OnError;
    std::function<void(TObject* sender, int index, const String& profileName, const String& profileDescription)>
        OnWMVProfileListed;
    std::function<void(TObject* sender, int unused, const String& stateDescription)> OnStateChange;
    std::function<void(TObject* sender, int codecType, const String& codecName, const String& codecIdentifier)>
        OnWMVCodecListed;

protected:
    void InvokeEvent(DISPID id, DISPPARAMS* params) override;

private:
    com::ComPtr<IVantrexObj> m_interface;
};

}  // namespace app
