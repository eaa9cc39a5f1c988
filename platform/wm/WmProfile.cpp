#include "platform/wm/WmProfile.h"

#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"

namespace wm {

using com::ComPtr;

HRESULT Profile::CreateEmpty(WMT_VERSION version, IWMProfile** out) {
    return com::CreateAndQuery<Profile>(IID_IWMProfile, reinterpret_cast<void**>(out), version);
}

HRESULT Profile::CreateSystem(const SystemProfileSpec& desc, IWMProfile** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com::ComGuard([&]() -> HRESULT {
        ComPtr<Profile> profile = ComPtr<Profile>::Adopt(new Profile(WMT_VER_7_0));
        profile->m_name = com::U16(desc.name);
        profile->m_description = com::U16(ProfileDescription(desc));

        StreamSettings video = VideoStreamSettings(desc.video);
        video.number = 1;
        video.name = u"Video Stream";
        video.connection = u"Video";
        StreamSettings audio = AudioStreamSettings(desc.audio);
        audio.number = 2;
        audio.name = u"Audio Stream";
        audio.connection = u"Audio";
        profile->m_streams.push_back(std::move(video));
        profile->m_streams.push_back(std::move(audio));
        *out = profile.Detach();
        return S_OK;
    });
}

StreamSettings* Profile::FindStream(WORD number) {
    for (auto& s : m_streams)
        if (s.number == number) return &s;
    return nullptr;
}

WORD Profile::FirstFreeNumber() const {
    for (WORD n = 1; n <= kMaxStreamNumber; ++n) {
        bool used = false;
        for (const auto& s : m_streams) used = used || s.number == n;
        if (!used) return n;
    }
    return 0;
}

STDMETHODIMP Profile::GetVersion(WMT_VERSION* version) {
    return com::GetValue(version, m_version);
}

STDMETHODIMP Profile::GetName(WCHAR* name, DWORD* size) { return CopyTextOut(m_name, name, size); }

STDMETHODIMP Profile::SetName(const WCHAR* name) {
    if (!name) return E_POINTER;
    return com::ComGuard([&] {
        m_name = com::U16(name);
        return S_OK;
    });
}

STDMETHODIMP Profile::GetDescription(WCHAR* description, DWORD* size) {
    return CopyTextOut(m_description, description, size);
}

STDMETHODIMP Profile::SetDescription(const WCHAR* description) {
    if (!description) return E_POINTER;
    return com::ComGuard([&] {
        m_description = com::U16(description);
        return S_OK;
    });
}

STDMETHODIMP Profile::GetStreamCount(DWORD* count) {
    return com::GetValue(count, static_cast<DWORD>(m_streams.size()));
}

STDMETHODIMP Profile::GetStream(DWORD index, IWMStreamConfig** config) {
    return com::ComGuard([&]() -> HRESULT {
        if (!config) return E_POINTER;
        *config = nullptr;
        if (index >= m_streams.size()) return E_INVALIDARG;
        return StreamConfig::Create(m_streams[index], config);
    });
}

STDMETHODIMP Profile::GetStreamByNumber(WORD number, IWMStreamConfig** config) {
    return com::ComGuard([&]() -> HRESULT {
        if (!config) return E_POINTER;
        *config = nullptr;
        const StreamSettings* s = FindStream(number);
        if (!s) return NS_E_INVALID_STREAM;
        return StreamConfig::Create(*s, config);
    });
}

STDMETHODIMP Profile::RemoveStream(IWMStreamConfig* config) {
    if (!config) return E_POINTER;
    WORD number = 0;
    const HRESULT hr = config->GetStreamNumber(&number);
    if (FAILED(hr)) return hr;
    return RemoveStreamByNumber(number);
}

STDMETHODIMP Profile::RemoveStreamByNumber(WORD number) {
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it) {
        if (it->number == number) {
            m_streams.erase(it);
            return S_OK;
        }
    }
    return NS_E_INVALID_STREAM;
}

STDMETHODIMP Profile::AddStream(IWMStreamConfig* config) {
    return com::ComGuard([&]() -> HRESULT {
        StreamSettings s;
        const HRESULT hr = ReadStreamSettings(config, s);
        if (FAILED(hr)) return hr;
        if (s.number < 1 || s.number > kMaxStreamNumber || FindStream(s.number)) return NS_E_INVALID_STREAM;
        if (!IsUsableMediaType(s.type, s.mediaType.View())) return NS_E_INVALID_INPUT_FORMAT;
        m_streams.push_back(std::move(s));
        return S_OK;
    });
}

STDMETHODIMP Profile::ReconfigStream(IWMStreamConfig* config) {
    return com::ComGuard([&]() -> HRESULT {
        StreamSettings s;
        const HRESULT hr = ReadStreamSettings(config, s);
        if (FAILED(hr)) return hr;
        StreamSettings* existing = FindStream(s.number);
        if (!existing) return NS_E_INVALID_STREAM;
        *existing = std::move(s);
        return S_OK;
    });
}

STDMETHODIMP Profile::CreateNewStream(REFGUID type, IWMStreamConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    return com::ComGuard([&]() -> HRESULT {
        StreamSettings s;
        if (IsEqualGUID(type, WMMEDIATYPE_Video)) s = VideoStreamSettings(DefaultVideoStream());
        else if (IsEqualGUID(type, WMMEDIATYPE_Audio)) s = AudioStreamSettings(DefaultAudioStream());
        else return E_INVALIDARG;
        // Numbered already, so that a new stream can be added as it comes.
        s.number = FirstFreeNumber();
        return StreamConfig::Create(std::move(s), config);
    });
}

STDMETHODIMP Profile::GetMutualExclusionCount(DWORD* count) {
    return com::GetValue(count, DWORD{0});
}

STDMETHODIMP Profile::GetMutualExclusion(DWORD, IWMMutualExclusion** exclusion) {
    if (!exclusion) return E_POINTER;
    *exclusion = nullptr;
    return E_INVALIDARG;
}

STDMETHODIMP Profile::RemoveMutualExclusion(IWMMutualExclusion*) { return E_INVALIDARG; }

STDMETHODIMP Profile::AddMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }

STDMETHODIMP Profile::CreateNewMutualExclusion(IWMMutualExclusion** exclusion) {
    if (!exclusion) return E_POINTER;
    *exclusion = nullptr;
    return E_NOTIMPL;
}

}  // namespace wm
