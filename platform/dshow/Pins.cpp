#include "platform/dshow/Pins.h"

#include "framework/com/Enumerators.h"
#include "framework/com/WinText.h"
#include "platform/dshow/MemAllocator.h"

namespace dshow {

using com::ComPtr;
using Lock = std::lock_guard<std::recursive_mutex>;

// ---- Media type enumerator --------------------------------------------------------

namespace {

// Each caller of Next gets a new copy to free with DeleteMediaType; the pin's own types stay
// with the snapshot.
struct MediaTypeCopy {
    static void Hold(const MediaType&) {}
    static void Drop(const MediaType&) {}
    static bool Hand(const MediaType& mt, AM_MEDIA_TYPE*& out) {
        out = mt.NewCopy();
        return out != nullptr;
    }
};

using MediaTypeEnum =
    com::SnapshotEnum<IEnumMediaTypes, IID_IEnumMediaTypes, MediaType, MediaTypeCopy, AM_MEDIA_TYPE*>;

}  // namespace

HRESULT CreateMediaTypeEnum(std::vector<MediaType> types, IEnumMediaTypes** out) {
    return com::CreateAndQuery<MediaTypeEnum>(IID_IEnumMediaTypes, reinterpret_cast<void**>(out), std::move(types),
                                              size_t{0});
}

ComPtr<IBaseFilter> FilterOf(IPin* pin) {
    PIN_INFO info{};
    if (!pin || FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

// ---- BasePin ---------------------------------------------------------------------------

BasePin::BasePin(BaseFilter& filter, PIN_DIRECTION direction, std::u16string name)
    : m_filter(filter), m_direction(direction), m_name(std::move(name)) {}

STDMETHODIMP BasePin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) *out = static_cast<IPin*>(this);
    else *out = QueryExtra(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP BasePin::Disconnect() {
    Lock lock(m_filter.StateLock());
    if (!m_peer) return S_FALSE;
    if (m_filter.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    BreakConnect();
    m_peer = nullptr;
    m_mt.Clear();
    return S_OK;
}

STDMETHODIMP BasePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    Lock lock(m_filter.StateLock());
    *pin = nullptr;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    return m_peer.CopyTo(pin);
}

STDMETHODIMP BasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    Lock lock(m_filter.StateLock());
    *mt = AM_MEDIA_TYPE{};
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    return m_mt.CopyTo(mt);
}

STDMETHODIMP BasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    *info = PIN_INFO{};
    info->pFilter = static_cast<IBaseFilter*>(&m_filter);
    info->pFilter->AddRef();
    info->dir = m_direction;
    lstrcpynW(info->achName, com::W(m_name), MAX_PIN_NAME);
    return S_OK;
}

STDMETHODIMP BasePin::QueryDirection(PIN_DIRECTION* dir) {
    if (!dir) return E_POINTER;
    *dir = m_direction;
    return S_OK;
}

STDMETHODIMP BasePin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    const size_t bytes = (m_name.size() + 1) * sizeof(WCHAR);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    memcpy(*id, m_name.c_str(), bytes);
    return S_OK;
}

STDMETHODIMP BasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    return com::ComGuard([&]() -> HRESULT {
        if (!mt) return E_POINTER;
        return CheckMediaType(*mt) == S_OK ? S_OK : S_FALSE;
    });
}

STDMETHODIMP BasePin::EnumMediaTypes(IEnumMediaTypes** out) {
    return com::ComGuard([&]() -> HRESULT {
        if (!out) return E_POINTER;
        Lock lock(m_filter.StateLock());
        std::vector<MediaType> types;
        MediaType mt;
        for (size_t i = 0; GetMediaType(i, mt); ++i) types.push_back(mt);
        return CreateMediaTypeEnum(std::move(types), out);
    });
}

STDMETHODIMP BasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

// ---- OutputPin ---------------------------------------------------------------------------

STDMETHODIMP OutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* pmt) {
    return com::ComGuard([&]() -> HRESULT {
        if (!receiver) return E_POINTER;
        Lock lock(m_filter.StateLock());
        if (m_peer) return VFW_E_ALREADY_CONNECTED;
        if (m_filter.State() != State_Stopped) return VFW_E_NOT_STOPPED;
        if (pmt && pmt->majortype != GUID_NULL && pmt->subtype != GUID_NULL && pmt->formattype != GUID_NULL)
            return TryConnect(receiver, *pmt);

        const AM_MEDIA_TYPE any{};
        const AM_MEDIA_TYPE& pattern = pmt ? *pmt : any;
        MediaType mt;
        for (size_t i = 0; GetMediaType(i, mt); ++i)
            if (MatchesPattern(mt.Get(), pattern) && SUCCEEDED(TryConnect(receiver, mt.Get()))) return S_OK;

        ComPtr<IEnumMediaTypes> types;
        if (SUCCEEDED(receiver->EnumMediaTypes(types.Put())) && types) {
            for (;;) {
                AM_MEDIA_TYPE* next = nullptr;
                if (types->Next(1, &next, nullptr) != S_OK) break;
                const com::MediaTypePtr offered(next);
                if (MatchesPattern(*offered, pattern) && SUCCEEDED(TryConnect(receiver, *offered))) return S_OK;
            }
        }
        return VFW_E_NO_ACCEPTABLE_TYPES;
    });
}

HRESULT OutputPin::TryConnect(IPin* receiver, const AM_MEDIA_TYPE& mt) {
    if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    m_peer = ComPtr<IPin>(receiver);
    m_mt = MediaType(mt);
    HRESULT hr = receiver->ReceiveConnection(this, &mt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receiver);
        if (SUCCEEDED(hr)) return S_OK;
        receiver->Disconnect();
    }
    BreakConnect();
    m_peer = nullptr;
    m_mt.Clear();
    return hr;
}

HRESULT OutputPin::CompleteConnect(IPin* peer) {
    if (!UsesAllocator()) return S_OK;
    HRESULT hr = peer->QueryInterface(IID_IMemInputPin, m_input.PutVoid());
    if (FAILED(hr)) return VFW_E_NO_TRANSPORT;
    ALLOCATOR_PROPERTIES wanted{};
    m_input->GetAllocatorRequirements(&wanted);
    DecideBufferSize(wanted);
    if (wanted.cbAlign <= 0) wanted.cbAlign = 1;

    // The peer's allocator first, then a memory allocator of our own.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ComPtr<IMemAllocator> alloc;
        hr = attempt == 0 ? m_input->GetAllocator(alloc.Put()) : CreateMemAllocator(alloc.Put());
        if (FAILED(hr) || !alloc) continue;
        ALLOCATOR_PROPERTIES actual{};
        hr = alloc->SetProperties(&wanted, &actual);
        if (FAILED(hr) || actual.cbBuffer < wanted.cbBuffer) continue;
        hr = m_input->NotifyAllocator(alloc.Get(), FALSE);
        if (FAILED(hr)) continue;
        m_allocator = alloc;
        return S_OK;
    }
    m_input = nullptr;
    return FAILED(hr) ? hr : VFW_E_SIZENOTSET;
}

void OutputPin::BreakConnect() {
    m_input = nullptr;
    m_allocator = nullptr;
}

HRESULT OutputPin::Active() { return m_allocator ? m_allocator->Commit() : S_OK; }

void OutputPin::Inactive() {
    if (m_allocator) m_allocator->Decommit();
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** sample) {
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    return m_allocator->GetBuffer(sample, nullptr, nullptr, 0);
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
    if (!m_input) return VFW_E_NOT_CONNECTED;
    return m_input->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() { return m_peer ? m_peer->EndOfStream() : VFW_E_NOT_CONNECTED; }
HRESULT OutputPin::DeliverBeginFlush() { return m_peer ? m_peer->BeginFlush() : VFW_E_NOT_CONNECTED; }
HRESULT OutputPin::DeliverEndFlush() { return m_peer ? m_peer->EndFlush() : VFW_E_NOT_CONNECTED; }

// ---- InputPin ------------------------------------------------------------------------------

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
    return com::ComGuard([&]() -> HRESULT {
        if (!connector || !mt) return E_POINTER;
        Lock lock(m_filter.StateLock());
        if (m_peer) return VFW_E_ALREADY_CONNECTED;
        if (m_filter.State() != State_Stopped) return VFW_E_NOT_STOPPED;
        PIN_DIRECTION dir;
        if (FAILED(connector->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
        if (CheckMediaType(*mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        m_peer = ComPtr<IPin>(connector);
        m_mt = MediaType(*mt);
        const HRESULT hr = CompleteConnect(connector);
        if (FAILED(hr)) {
            BreakConnect();
            m_peer = nullptr;
            m_mt.Clear();
        }
        return hr;
    });
}

HRESULT InputPin::Active() {
    m_eos = false;
    m_flushing = false;
    return S_OK;
}

void* InputPin::QueryExtra(REFIID iid) {
    return IsEqualIID(iid, IID_IMemInputPin) ? static_cast<IMemInputPin*>(this) : nullptr;
}

STDMETHODIMP InputPin::EndOfStream() {
    return com::ComGuard([&]() -> HRESULT {
        if (m_flushing) return S_FALSE;
        if (m_filter.State() == State_Stopped) return VFW_E_WRONG_STATE;
        // One end per stream: a repeated call is not passed on (a renderer
        // would report the end to the graph twice).
        if (m_eos.exchange(true)) return S_OK;
        return OnEndOfStream();
    });
}

STDMETHODIMP InputPin::BeginFlush() {
    return com::ComGuard([&]() -> HRESULT {
        m_flushing = true;
        OnBeginFlush();
        return S_OK;
    });
}

STDMETHODIMP InputPin::EndFlush() {
    return com::ComGuard([&]() -> HRESULT {
        OnEndFlush();
        m_eos = false;
        m_flushing = false;
        return S_OK;
    });
}

STDMETHODIMP InputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Lock lock(m_filter.StateLock());
    if (!m_allocator) {
        const HRESULT hr = CreateMemAllocator(m_allocator.Put());
        if (FAILED(hr)) return hr;
    }
    return m_allocator.CopyTo(out);
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
    if (!allocator) return E_POINTER;
    Lock lock(m_filter.StateLock());
    m_allocator = ComPtr<IMemAllocator>(allocator);
    return S_OK;
}

STDMETHODIMP InputPin::Receive(IMediaSample* sample) {
    return com::ComGuard([&]() -> HRESULT {
        if (!sample) return E_POINTER;
        if (m_filter.State() == State_Stopped) return VFW_E_WRONG_STATE;
        if (m_flushing) return S_FALSE;
        if (m_eos) return VFW_E_SAMPLE_REJECTED_EOS;
        return OnReceive(sample);
    });
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count && (hr = Receive(samples[*processed])) == S_OK) ++*processed;
    return hr;
}

}  // namespace dshow
