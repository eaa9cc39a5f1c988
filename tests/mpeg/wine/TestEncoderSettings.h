// The encoder's own configuration object, with its settings readable and
// its protected steps callable, standing alone without a filter.
#pragma once

#include <windows.h>

#include "framework/com/ComObject.h"
#include "platform/mpeg/MpegEncoderSettings.h"

namespace mpegtest {

class TestSettings final : public com::ComObjectRoot, public mpegenc::MpegEncoderSettings {
public:
    bool unlocked = true;

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IMpegEncoderConfig)
    COM_END_QI()

    mpegenc::Settings Current() const { return CurrentSettings(); }
    using MpegEncoderSettings::FrameEncoded;
    using MpegEncoderSettings::HoldSpeed;
    using MpegEncoderSettings::ResetSpeed;
    using MpegEncoderSettings::SetState;
    using MpegEncoderSettings::StopSpeed;

private:
    ~TestSettings() override = default;
    bool SettingsUnlocked() const override { return unlocked; }
};

}  // namespace mpegtest
