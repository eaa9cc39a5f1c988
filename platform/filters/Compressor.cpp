#include "platform/filters/Compressor.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>

#include "framework/com/WinText.h"
#include "platform/ClassIds.h"
#include "platform/core/CodecCatalog.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/OutputQueue.h"
#include "platform/dshow/PictureSample.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Seeking.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace plat {

using dshow::MediaType;

namespace {

constexpr char16_t kSettingsRoot[] = u"Software\\MediaPlatform\\Compressors\\";

}  // namespace

class CompressorInputPin final : public dshow::InputPin {
public:
    explicit CompressorInputPin(Compressor& c) : InputPin(c, u"Input"), m_c(c) {}

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override { return m_c.CheckInputType(mt); }
    HRESULT OnReceive(IMediaSample* sample) override { return m_c.Receive(sample); }
    HRESULT OnEndOfStream() override { return m_c.EndOfStream(); }
    void OnBeginFlush() override { m_c.BeginFlush(); }
    void OnEndFlush() override { m_c.EndFlush(); }
    void* QueryExtra(REFIID iid) override {
        if (IsEqualIID(iid, dshow::kTakesPicturePlanes)) return m_c.TakesPlanes() ? static_cast<IPin*>(this) : nullptr;
        return InputPin::QueryExtra(iid);
    }

private:
    Compressor& m_c;
};

// Seeking questions go on upstream: the compressor changes no times.
class CompressorOutputPin final : public dshow::OutputPin, public dshow::SeekingBase {
public:
    explicit CompressorOutputPin(Compressor& c) : OutputPin(c, u"Output"), m_c(c) {}
    DSHOW_PIN_UNKNOWN(BasePin)

    // Packets go downstream on the queue's thread, so that writing one
    // overlaps with encoding the next.
    dshow::OutputQueue& Queue() { return m_queue; }

    HRESULT Active() override {
        const HRESULT hr = OutputPin::Active();
        if (FAILED(hr) || !IsConnected()) return hr;
        return m_queue.Start();
    }
    void Decommit() {
        if (m_allocator) m_allocator->Decommit();
    }
    void Inactive() override {
        OutputPin::Inactive();
        m_queue.Stop();
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override { return m_c.CheckOutputType(mt); }
    bool GetMediaType(size_t index, MediaType& out) override { return index == 0 && m_c.OutputType(out); }
    void DecideBufferSize(ALLOCATOR_PROPERTIES& props) override { m_c.OutputBuffers(props); }
    void* QueryExtra(REFIID iid) override {
        return IsEqualIID(iid, IID_IMediaSeeking) ? static_cast<IMediaSeeking*>(this) : nullptr;
    }
    HRESULT ReadDuration(LONGLONG* d) override {
        com::ComPtr<IMediaSeeking> up = dshow::UpstreamSeeking(m_c.InputPinForSeeking());
        return up ? up->GetDuration(d) : E_NOTIMPL;
    }
    HRESULT ReadPosition(LONGLONG* p) override {
        com::ComPtr<IMediaSeeking> up = dshow::UpstreamSeeking(m_c.InputPinForSeeking());
        return up ? up->GetCurrentPosition(p) : E_NOTIMPL;
    }

private:
    Compressor& m_c;
    dshow::OutputQueue m_queue{*this};
};

Compressor::Compressor(const CLSID& clsid, const char* key, const CLSID& settingsPage)
    : BaseFilter(clsid),
      m_input(std::make_unique<CompressorInputPin>(*this)),
      m_output(std::make_unique<CompressorOutputPin>(*this)),
      m_key(key),
      m_settingsPage(settingsPage),
      m_firstIn(m_key + " compressor: first sample in"),
      m_firstOut(m_key + " compressor: first packet out") {}

Compressor::~Compressor() = default;

dshow::BasePin* Compressor::PinAt(size_t index) {
    if (index == 0) return m_input.get();
    return m_output.get();
}

IPin* Compressor::InputPinForSeeking() { return m_input.get(); }

const MediaType& Compressor::InputType() const { return m_input->ConnectedType(); }

HRESULT Compressor::CheckInputType(const AM_MEDIA_TYPE& mt) { return AcceptInput(mt); }

bool Compressor::OutputType(MediaType& out) {
    if (!m_input->IsConnected()) return false;
    const HRESULT hr = dshow::MediaGuard([&] {
        out = MakeOutputType();
        return S_OK;
    });
    return SUCCEEDED(hr) && !out.Empty();
}

HRESULT Compressor::CheckOutputType(const AM_MEDIA_TYPE& mt) {
    MediaType ours;
    if (!OutputType(ours)) return S_FALSE;
    return IsEqualGUID(mt.majortype, ours.Get().majortype) && IsEqualGUID(mt.subtype, ours.Get().subtype) &&
                   (IsEqualGUID(mt.formattype, ours.Get().formattype) || IsEqualGUID(mt.formattype, GUID_NULL))
               ? S_OK
               : S_FALSE;
}

HRESULT Compressor::OnActivate() {
    if (!m_input->IsConnected()) return S_OK;
    std::lock_guard<std::mutex> lock(m_streaming);
    m_deliveryResult = S_OK;
    m_firstIn.Rearm();
    m_firstOut.Rearm();
    return dshow::MediaGuard([&] {
        OpenEncoder();
        dshow::SendStartMark(m_key + " compressor: encoder opened");
        return S_OK;
    });
}

void Compressor::OnDeactivate() {
    // An encoding thread waiting for an output buffer gives up now rather
    // than keep the stop (and this lock) waiting.
    m_output->Decommit();
    std::lock_guard<std::mutex> lock(m_streaming);
    CloseEncoder();
}

HRESULT Compressor::Receive(IMediaSample* sample) {
    std::lock_guard<std::mutex> lock(m_streaming);
    if (State() == State_Stopped) return VFW_E_WRONG_STATE;
    m_firstIn.Hit();
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    const HRESULT hr = dshow::MediaGuard([&]() -> HRESULT {
        // Planes only while nobody has asked for the sample's bytes: a
        // filter before us may have changed them.
        com::ComPtr<dshow::IPictureSample> planar;
        if (TakesPlanes() && SUCCEEDED(sample->QueryInterface(dshow::kPictureSampleIid, planar.PutVoid()))) {
            media::FramePtr planes = media::MakeFrame();
            if (planar->TakePlanes(planes.get()) == S_OK && EncodePlanes(*planes, timed, start)) return S_OK;
        }
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return E_POINTER;
        Encode(data, sample->GetActualDataLength(), timed, start);
        return S_OK;
    });
    if (FAILED(hr)) {
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    return m_deliveryResult;
}

HRESULT Compressor::EndOfStream() {
    {
        std::lock_guard<std::mutex> lock(m_streaming);
        if (State() == State_Stopped) return VFW_E_WRONG_STATE;
        const HRESULT hr = dshow::MediaGuard([&] {
            FinishEncoding();
            return S_OK;
        });
        if (FAILED(hr)) NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    return m_output->Queue().EndOfStream();
}

// The packets waiting to go are dropped, and the flush goes on downstream
// (which frees a delivery waiting there).
void Compressor::BeginFlush() {
    m_output->Queue().BeginFlush();
    m_output->DeliverBeginFlush();
}

void Compressor::EndFlush() {
    m_output->Queue().EndFlush();
    m_output->DeliverEndFlush();
}

void Compressor::Deliver(const media::EncodedPacket& p, REFERENCE_TIME start, REFERENCE_TIME stop) {
    // Once downstream refused, the rest of this input's packets go nowhere.
    if (m_deliveryResult != S_OK) return;
    IMediaSample* sample = nullptr;
    HRESULT hr = m_output->GetDeliveryBuffer(&sample);
    if (FAILED(hr)) {
        m_deliveryResult = hr;
        return;
    }
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    if (p.size > sample->GetSize()) {
        sample->Release();
        m_deliveryResult = E_OUTOFMEMORY;
        NotifyEvent(EC_ERRORABORT, E_OUTOFMEMORY, 0);
        return;
    }
    std::memcpy(data, p.data, static_cast<size_t>(p.size));
    sample->SetActualDataLength(p.size);
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(p.key ? TRUE : FALSE);
    m_firstOut.Hit();
    hr = m_output->Queue().Receive(sample);
    sample->Release();
    m_deliveryResult = hr;
}

// ---- Settings ----------------------------------------------------------------------

void Compressor::LoadSettings() {
    const std::u16string key = kSettingsRoot + com::U16(m_key);
    BYTE buf[256];
    DWORD size = sizeof buf, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, com::W(key), L"Settings", RRF_RT_REG_BINARY, &type, buf, &size) ==
        ERROR_SUCCESS)
        ApplySettingsBytes(buf, size);
}

void Compressor::SaveSettings() {
    const std::u16string key = kSettingsRoot + com::U16(m_key);
    const std::vector<uint8_t> bytes = SettingsBytes();
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, com::W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(h, L"Settings", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(h);
}

STDMETHODIMP Compressor::GetState(LPVOID state, int* size) {
    return com::ComGuard([&]() -> HRESULT {
        if (!size) return E_POINTER;
        const std::vector<uint8_t> bytes = SettingsBytes();
        if (!state) {
            *size = static_cast<int>(bytes.size());
            return S_OK;
        }
        if (*size < static_cast<int>(bytes.size())) return E_INVALIDARG;
        std::memcpy(state, bytes.data(), bytes.size());
        *size = static_cast<int>(bytes.size());
        return S_OK;
    });
}

STDMETHODIMP Compressor::SetState(LPVOID state, int size) {
    return com::ComGuard([&]() -> HRESULT {
        if (!state || size <= 0) return E_POINTER;
        std::lock_guard<std::recursive_mutex> lock(StateLock());
        if (!ApplySettingsBytes(static_cast<const uint8_t*>(state), static_cast<size_t>(size))) return E_INVALIDARG;
        SaveSettings();
        return S_OK;
    });
}

// ---- Boxes -------------------------------------------------------------------------

STDMETHODIMP Compressor::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 2;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(2 * sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    // The About page first: a host's About box shows the first page alone.
    pages->pElems[0] = CLSID_CompressorAboutPage;
    pages->pElems[1] = m_settingsPage;
    return S_OK;
}

std::u16string CompressorAboutText(REFCLSID clsid) {
    std::string name, what;
    char tag[64] = {};
    if (const int v = VideoCompressorIndex(clsid); v >= 0) {
        const media::VideoCodecInfo& c = media::VideoCodecs()[static_cast<size_t>(v)];
        for (int i = 0; i < 4; ++i) tag[i] = static_cast<char>((c.fourcc >> (8 * i)) & 0xff);
        name = c.friendlyName;
        what = std::string("Writes ") + (c.lossless ? "lossless " : "") + "video with the FourCC " + tag + ".";
        if (c.dvSizes) what += " Takes 720x576 at 25 fps or 720x480 at 29.97 fps.";
    } else if (const int a = AudioCompressorIndex(clsid); a >= 0) {
        const media::AudioCodecInfo& c = media::AudioCodecs()[static_cast<size_t>(a)];
        std::snprintf(tag, sizeof tag, "0x%04X", c.formatTag);
        name = c.friendlyName;
        what = std::string("Writes audio with the WAVE format tag ") + tag + ".";
    } else {
        return {};
    }
    return com::U16(name + "\r\n\r\n" + what + "\r\n\r\nEncoder: libavcodec " + AV_STRINGIFY(LIBAVCODEC_VERSION));
}

STDMETHODIMP Compressor::ShowDialog(int dialog, HWND parent) {
    return com::ComGuard([&]() -> HRESULT {
        switch (dialog) {
        case VfwCompressDialog_QueryConfig:
        case VfwCompressDialog_QueryAbout: return S_OK;
        case VfwCompressDialog_Config: {
            const std::u16string caption = Name();
            IUnknown* self = Unknown();
            return OleCreatePropertyFrame(parent, 0, 0, com::W(caption), 1, &self, 1, &m_settingsPage, 0, 0, nullptr);
        }
        case VfwCompressDialog_About:
            CLSID clsid;
            GetClassID(&clsid);
            MessageBoxW(parent, com::W(CompressorAboutText(clsid)), com::W(Name()), MB_OK | MB_ICONINFORMATION);
            return S_OK;
        default: return E_INVALIDARG;
        }
    });
}

}  // namespace plat
