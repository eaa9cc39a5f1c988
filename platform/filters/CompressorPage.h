// Property pages of the compressors: the video settings (bit rate or fixed
// quality, key-frame interval), the audio settings (bit rate, sample
// rate) and the About page. A page talks to its compressor through the
// compress-dialogs state, so it works on any compressor of ours.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "platform/include/EditingServices.h"

namespace plat {

class CompressorPage final : public com::ComObjectRoot, public IPropertyPage {
public:
    enum class Kind { Video, Audio, About };

    static HRESULT CreateVideo(IUnknown* outer, REFIID iid, void** out);
    static HRESULT CreateAudio(IUnknown* outer, REFIID iid, void** out);
    static HRESULT CreateAbout(IUnknown* outer, REFIID iid, void** out);
    explicit CompressorPage(Kind kind) : m_kind(kind) {}

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IPropertyPage)
    COM_END_QI()

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT cmd) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override { return m_dirty ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

private:
    ~CompressorPage() override;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Fill();
    void Changed();
    void EnableModes();
    int DialogId() const;

    Kind m_kind;
    com::ComPtr<IPropertyPageSite> m_site;
    com::ComPtr<IAMVfwCompressDialogs> m_target;
    CLSID m_class = GUID_NULL;
    HWND m_hwnd = nullptr;
    bool m_dirty = false;
    bool m_filling = false;
};

}  // namespace plat
