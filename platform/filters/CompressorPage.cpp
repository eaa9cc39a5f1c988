#include "platform/filters/CompressorPage.h"

#include <string>
#include <vector>

#include "framework/com/Module.h"
#include "framework/com/WinText.h"
#include "platform/ClassIds.h"
#include "platform/core/CodecCatalog.h"
#include "platform/filters/Compressor.h"
#include "platform/filters/CompressorPageRes.h"

namespace plat {

namespace {

const int kCommonRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

std::vector<uint8_t> ReadState(IAMVfwCompressDialogs* target) {
    int size = 0;
    if (!target || FAILED(target->GetState(nullptr, &size)) || size <= 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (FAILED(target->GetState(bytes.data(), &size))) return {};
    bytes.resize(static_cast<size_t>(size));
    return bytes;
}

void AddItem(HWND combo, const std::u16string& text, LPARAM data) {
    const LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(com::W(text)));
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), data);
}

void SelectData(HWND combo, LPARAM data) {
    const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i)
        if (SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data)
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

LPARAM SelectedData(HWND combo) {
    const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return i < 0 ? 0 : SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0);
}

}  // namespace

HRESULT CompressorPage::CreateVideo(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<CompressorPage>(iid, out, Kind::Video);
}

HRESULT CompressorPage::CreateAudio(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<CompressorPage>(iid, out, Kind::Audio);
}

HRESULT CompressorPage::CreateAbout(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<CompressorPage>(iid, out, Kind::About);
}

CompressorPage::~CompressorPage() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

int CompressorPage::DialogId() const {
    return m_kind == Kind::Video ? IDD_VIDEO_PAGE : m_kind == Kind::Audio ? IDD_AUDIO_PAGE : IDD_ABOUT_PAGE;
}

STDMETHODIMP CompressorPage::SetPageSite(IPropertyPageSite* site) {
    m_site = com::ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

STDMETHODIMP CompressorPage::SetObjects(ULONG count, IUnknown** objects) {
    m_target = nullptr;
    m_class = GUID_NULL;
    if (count == 0) return S_OK;
    if (!objects || !objects[0]) return E_POINTER;
    com::ComPtr<IPersist> persist;
    HRESULT hr = objects[0]->QueryInterface(IID_IPersist, persist.PutVoid());
    if (SUCCEEDED(hr)) hr = persist->GetClassID(&m_class);
    if (SUCCEEDED(hr)) hr = objects[0]->QueryInterface(IID_IAMVfwCompressDialogs, m_target.PutVoid());
    if (FAILED(hr)) return hr;
    const bool video = VideoCompressorIndex(m_class) >= 0, audio = AudioCompressorIndex(m_class) >= 0;
    if ((m_kind == Kind::Video && !video) || (m_kind == Kind::Audio && !audio) || (!video && !audio)) {
        m_target = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

STDMETHODIMP CompressorPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    const wchar_t* title = m_kind == Kind::About ? L"About" : L"Settings";
    const size_t bytes = (static_cast<size_t>(lstrlenW(title)) + 1) * sizeof(WCHAR);
    *info = PROPPAGEINFO{};
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (info->pszTitle) memcpy(info->pszTitle, title, bytes);
    // The dialog's own size, measured on a hidden instance.
    const HWND probe = CreateDialogParamW(com::Module::Instance(), MAKEINTRESOURCEW(DialogId()), GetDesktopWindow(),
                                          &CompressorPage::DialogProc, 0);
    RECT r{0, 0, 375, 180};
    if (probe) {
        GetWindowRect(probe, &r);
        DestroyWindow(probe);
    }
    info->size.cx = r.right - r.left;
    info->size.cy = r.bottom - r.top;
    return S_OK;
}

STDMETHODIMP CompressorPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    return com::ComGuard([&]() -> HRESULT {
        if (m_hwnd) return E_UNEXPECTED;
        m_hwnd = CreateDialogParamW(com::Module::Instance(), MAKEINTRESOURCEW(DialogId()), parent,
                                    &CompressorPage::DialogProc, reinterpret_cast<LPARAM>(this));
        if (!m_hwnd) return HRESULT_FROM_WIN32(GetLastError());
        Fill();
        if (rect) Move(rect);
        return S_OK;
    });
}

STDMETHODIMP CompressorPage::Deactivate() {
    if (m_hwnd) DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return S_OK;
}

STDMETHODIMP CompressorPage::Show(UINT cmd) {
    if (!m_hwnd) return E_UNEXPECTED;
    ShowWindow(m_hwnd, static_cast<int>(cmd));
    return S_OK;
}

STDMETHODIMP CompressorPage::Move(LPCRECT rect) {
    if (!m_hwnd || !rect) return E_UNEXPECTED;
    MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CompressorPage::TranslateAccelerator(MSG* msg) {
    return m_hwnd && msg && IsDialogMessageW(m_hwnd, msg) ? S_OK : S_FALSE;
}

INT_PTR CALLBACK CompressorPage::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    auto* page = reinterpret_cast<CompressorPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (msg == WM_COMMAND && page && !page->m_filling) {
        const WORD code = HIWORD(wParam);
        if (code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE) {
            page->EnableModes();
            page->Changed();
        }
        return TRUE;
    }
    return FALSE;
}

void CompressorPage::Changed() {
    m_dirty = true;
    if (m_site) m_site->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

void CompressorPage::EnableModes() {
    if (m_kind != Kind::Video) return;
    const int v = VideoCompressorIndex(m_class);
    if (v < 0) return;
    const media::VideoCodecInfo& c = media::VideoCodecs()[static_cast<size_t>(v)];
    const bool quality = IsDlgButtonChecked(m_hwnd, IDC_MODE_QUALITY) == BST_CHECKED;
    EnableWindow(GetDlgItem(m_hwnd, IDC_MODE_BITRATE), c.defaultBitRateKbps > 0 && c.defaultQuality > 0);
    EnableWindow(GetDlgItem(m_hwnd, IDC_MODE_QUALITY), c.defaultBitRateKbps > 0 && c.defaultQuality > 0);
    EnableWindow(GetDlgItem(m_hwnd, IDC_BITRATE), c.defaultBitRateKbps > 0 && !quality);
    EnableWindow(GetDlgItem(m_hwnd, IDC_QUALITY), c.defaultQuality > 0 && quality);
    EnableWindow(GetDlgItem(m_hwnd, IDC_KEYINTERVAL), !c.lossless && !c.dvSizes && c.defaultBitRateKbps > 0);
}

void CompressorPage::Fill() {
    m_filling = true;
    const std::vector<uint8_t> state = ReadState(m_target.Get());
    if (m_kind == Kind::About) {
        SetDlgItemTextW(m_hwnd, IDC_ABOUT_TEXT, com::W(CompressorAboutText(m_class)));
    } else if (m_kind == Kind::Video) {
        const int v = VideoCompressorIndex(m_class);
        if (v >= 0) {
            const media::VideoCodecInfo& c = media::VideoCodecs()[static_cast<size_t>(v)];
            media::VideoSettings s = media::DefaultSettings(c);
            media::Deserialize(state.data(), state.size(), s);
            std::string text = c.friendlyName;
            if (c.lossless) text += "\nLossless: the picture is kept exactly; nothing to set.";
            else if (c.dvSizes) text += "\nDV has a fixed bit rate; nothing to set.";
            SetDlgItemTextW(m_hwnd, IDC_CODEC_TEXT, com::W(com::U16(text)));
            CheckRadioButton(m_hwnd, IDC_MODE_BITRATE, IDC_MODE_QUALITY, s.useQuality ? IDC_MODE_QUALITY : IDC_MODE_BITRATE);
            SetDlgItemInt(m_hwnd, IDC_BITRATE, static_cast<UINT>(s.bitRateKbps), FALSE);
            SetDlgItemInt(m_hwnd, IDC_QUALITY, static_cast<UINT>(s.quality), FALSE);
            SetDlgItemInt(m_hwnd, IDC_KEYINTERVAL, static_cast<UINT>(s.keyInterval), FALSE);
        }
        EnableModes();
    } else {
        const int a = AudioCompressorIndex(m_class);
        if (a >= 0) {
            const media::AudioCodecInfo& c = media::AudioCodecs()[static_cast<size_t>(a)];
            media::AudioSettings s = media::DefaultSettings(c);
            media::Deserialize(state.data(), state.size(), s);
            SetDlgItemTextW(m_hwnd, IDC_CODEC_TEXT, com::W(com::U16(c.friendlyName)));
            const HWND rates = GetDlgItem(m_hwnd, IDC_AUDIO_BITRATE);
            if (c.bitRatesKbps.empty()) AddItem(rates, u"Set by the format", 0);
            for (int kbps : c.bitRatesKbps) AddItem(rates, com::U16(std::to_string(kbps)), kbps);
            SelectData(rates, s.bitRateKbps);
            EnableWindow(rates, !c.bitRatesKbps.empty());
            const HWND samples = GetDlgItem(m_hwnd, IDC_SAMPLERATE);
            AddItem(samples, u"Same as the source", 0);
            std::vector<int> list = media::SampleRatesOf(c);
            if (list.empty()) list.assign(std::begin(kCommonRates), std::end(kCommonRates));
            for (int hz : list) AddItem(samples, com::U16(std::to_string(hz) + " Hz"), hz);
            SelectData(samples, s.sampleRate);
        }
    }
    m_filling = false;
    m_dirty = false;
}

STDMETHODIMP CompressorPage::Apply() {
    return com::ComGuard([&]() -> HRESULT {
        if (!m_dirty || !m_hwnd || !m_target || m_kind == Kind::About) {
            m_dirty = false;
            return S_OK;
        }
        std::vector<uint8_t> bytes;
        if (m_kind == Kind::Video) {
            media::VideoSettings s;
            s.useQuality = IsDlgButtonChecked(m_hwnd, IDC_MODE_QUALITY) == BST_CHECKED;
            s.bitRateKbps = static_cast<int>(GetDlgItemInt(m_hwnd, IDC_BITRATE, nullptr, FALSE));
            s.quality = static_cast<int>(GetDlgItemInt(m_hwnd, IDC_QUALITY, nullptr, FALSE));
            s.keyInterval = static_cast<int>(GetDlgItemInt(m_hwnd, IDC_KEYINTERVAL, nullptr, FALSE));
            bytes = media::Serialize(s);
        } else {
            media::AudioSettings s;
            s.bitRateKbps = static_cast<int>(SelectedData(GetDlgItem(m_hwnd, IDC_AUDIO_BITRATE)));
            s.sampleRate = static_cast<int>(SelectedData(GetDlgItem(m_hwnd, IDC_SAMPLERATE)));
            bytes = media::Serialize(s);
        }
        const HRESULT hr = m_target->SetState(bytes.data(), static_cast<int>(bytes.size()));
        if (FAILED(hr)) return hr;
        m_dirty = false;
        // The compressor brought the values into range: show what it keeps.
        Fill();
        return S_OK;
    });
}

}  // namespace plat
