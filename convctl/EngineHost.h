// What the conversion engine needs from the control that owns it: the seven
// event firing routines. Each fires to every connected sink before it
// returns.
#pragma once

#include <windows.h>

#include <string>

namespace convctl {

class EngineHost {
public:
    virtual void Fire_AboutToRun() = 0;
    virtual void Fire_AVICodecListed(const std::u16string& codecName, const std::u16string& codecGuid,
                                     LONG codecType) = 0;
    virtual void Fire_Complete() = 0;
    virtual void Fire_Error(LONG error, const std::u16string& errorMessage) = 0;
    virtual void Fire_WMVProfileListed(LONG index, const std::u16string& profileName,
                                       const std::u16string& profileDescription) = 0;
    virtual void Fire_StateChange(LONG unused, const std::u16string& stateDescription) = 0;
    virtual void Fire_WMVCodecListed(LONG codecType, const std::u16string& codecName,
                                     const std::u16string& codecIdentifier) = 0;

protected:
    ~EngineHost() = default;
};

}  // namespace convctl
