#include "framework/forms/MPlayer.h"

#include "framework/com/WinText.h"

namespace forms {

TMediaPlayer::~TMediaPlayer() {
    if (m_device) mciSendCommandW(m_device, MCI_CLOSE, MCI_WAIT, 0);
}

void TMediaPlayer::Check(MCIERROR error) const {
    if (!error) return;
    WCHAR text[256] = {};
    if (!mciGetErrorStringW(error, text, 256)) lstrcpyW(text, L"Unknown MCI error");
    throw EMCIDeviceError(com::U16(text));
}

void TMediaPlayer::RequireOpen() const {
    if (!m_device) throw EMCIDeviceError("The media player is not open");
}

void TMediaPlayer::Open() {
    Close();
    MCI_OPEN_PARMSW open{};
    open.lpstrElementName = com::W(m_fileName);
    MCIERROR error = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
    if (error) {
        // The device chosen by the extension may not know the file's
        // compression (Wine's AVI device has only Video for Windows'
        // decompressors): DirectShow's device plays whatever its filter
        // graph can decode.
        MCI_OPEN_PARMSW graph{};
        graph.lpstrDeviceType = L"mpegvideo";
        graph.lpstrElementName = com::W(m_fileName);
        if (!mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                             reinterpret_cast<DWORD_PTR>(&graph))) {
            error = 0;
            open.wDeviceID = graph.wDeviceID;
        }
    }
    Check(error);
    m_device = open.wDeviceID;
}

void TMediaPlayer::Play() {
    RequireOpen();
    MCI_PLAY_PARMS play{};
    Check(mciSendCommandW(m_device, MCI_PLAY, 0, reinterpret_cast<DWORD_PTR>(&play)));
}

void TMediaPlayer::Pause() {
    RequireOpen();
    MCI_GENERIC_PARMS p{};
    Check(mciSendCommandW(m_device, MCI_PAUSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p)));
}

void TMediaPlayer::Resume() {
    RequireOpen();
    MCI_GENERIC_PARMS p{};
    // Not every device knows MCI_RESUME; playing on continues from the pause.
    if (mciSendCommandW(m_device, MCI_RESUME, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p)) != 0) {
        MCI_PLAY_PARMS play{};
        Check(mciSendCommandW(m_device, MCI_PLAY, 0, reinterpret_cast<DWORD_PTR>(&play)));
    }
}

void TMediaPlayer::Stop() {
    RequireOpen();
    MCI_GENERIC_PARMS p{};
    Check(mciSendCommandW(m_device, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p)));
}

void TMediaPlayer::Close() {
    if (!m_device) return;
    mciSendCommandW(m_device, MCI_CLOSE, MCI_WAIT, 0);
    m_device = 0;
}

TMPModes TMediaPlayer::Mode() const {
    if (!m_device) return TMPModes::mpNotReady;
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    if (mciSendCommandW(m_device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status)))
        return TMPModes::mpNotReady;
    switch (status.dwReturn) {
    case MCI_MODE_STOP: return TMPModes::mpStopped;
    case MCI_MODE_PLAY: return TMPModes::mpPlaying;
    case MCI_MODE_RECORD: return TMPModes::mpRecording;
    case MCI_MODE_SEEK: return TMPModes::mpSeeking;
    case MCI_MODE_PAUSE: return TMPModes::mpPaused;
    case MCI_MODE_OPEN: return TMPModes::mpOpen;
    default: return TMPModes::mpNotReady;
    }
}

}  // namespace forms
