// A Windows Media profile: name, description and streams. Streams are held
// as copies: a configuration changed after AddStream or GetStream reaches
// the profile only through ReconfigStream, as the format runtime documents.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/com/ComObject.h"
#include "platform/wm/WmStreamConfig.h"

namespace wm {

class Profile final : public com::ComObjectRoot, public IWMProfile {
public:
    explicit Profile(WMT_VERSION version) : m_version(version) {}

    // A profile built from one of the catalog's system profiles.
    static HRESULT CreateSystem(const SystemProfileSpec& desc, IWMProfile** out);
    static HRESULT CreateEmpty(WMT_VERSION version, IWMProfile** out);

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IWMProfile)
    COM_END_QI()

    STDMETHODIMP GetVersion(WMT_VERSION* version) override;
    STDMETHODIMP GetName(WCHAR* name, DWORD* size) override;
    STDMETHODIMP SetName(const WCHAR* name) override;
    STDMETHODIMP GetDescription(WCHAR* description, DWORD* size) override;
    STDMETHODIMP SetDescription(const WCHAR* description) override;
    STDMETHODIMP GetStreamCount(DWORD* count) override;
    STDMETHODIMP GetStream(DWORD index, IWMStreamConfig** config) override;
    STDMETHODIMP GetStreamByNumber(WORD number, IWMStreamConfig** config) override;
    STDMETHODIMP RemoveStream(IWMStreamConfig* config) override;
    STDMETHODIMP RemoveStreamByNumber(WORD number) override;
    STDMETHODIMP AddStream(IWMStreamConfig* config) override;
    STDMETHODIMP ReconfigStream(IWMStreamConfig* config) override;
    STDMETHODIMP CreateNewStream(REFGUID type, IWMStreamConfig** config) override;
    // Mutual exclusion serves multiple-rate files, which this runtime does
    // not write: no profile holds one.
    STDMETHODIMP GetMutualExclusionCount(DWORD* count) override;
    STDMETHODIMP GetMutualExclusion(DWORD index, IWMMutualExclusion** exclusion) override;
    STDMETHODIMP RemoveMutualExclusion(IWMMutualExclusion* exclusion) override;
    STDMETHODIMP AddMutualExclusion(IWMMutualExclusion* exclusion) override;
    STDMETHODIMP CreateNewMutualExclusion(IWMMutualExclusion** exclusion) override;

private:
    ~Profile() override = default;
    StreamSettings* FindStream(WORD number);
    WORD FirstFreeNumber() const;

    WMT_VERSION m_version;
    std::u16string m_name;
    std::u16string m_description;
    std::vector<StreamSettings> m_streams;
};

}  // namespace wm
