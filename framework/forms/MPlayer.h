// The MCI media player: opens a media file by name (the device chosen by
// its extension, or DirectShow's device when that one cannot open it),
// plays, pauses, resumes and stops it. It has no window of
// its own; the program keeps it hidden.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "framework/forms/Component.h"

namespace forms {

class EMCIDeviceError : public Exception {
public:
    using Exception::Exception;
};

enum class TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

class TMediaPlayer : public TComponent {
public:
    FORMS_CLASS(TMediaPlayer)
    explicit TMediaPlayer(TComponent* owner) : TComponent(owner) {}
    ~TMediaPlayer() override;

    const String& FileName() const { return m_fileName; }
    void SetFileName(const String& name) { m_fileName = name; }
    // Each raises EMCIDeviceError with the MCI error text.
    void Open();
    void Play();
    void Pause();
    void Resume();
    void Stop();
    void Close();
    bool IsOpen() const { return m_device != 0; }
    TMPModes Mode() const;
    MCIDEVICEID DeviceID() const { return m_device; }

private:
    void Check(MCIERROR error) const;
    void RequireOpen() const;
    MCIDEVICEID m_device = 0;
    String m_fileName;
};

}  // namespace forms
