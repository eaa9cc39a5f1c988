#include "platform/dshow/MemAllocator.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "framework/com/ComObject.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/PictureSample.h"

namespace dshow {

namespace {

class MemAllocator;

// One buffer of the pool. Its count is zero while it waits in the pool;
// the last Release hands it back to the allocator. It may hold a picture
// as planes, whose RGB is written into the buffer when first asked for.
class PoolSample final : public IMediaSample, public IPictureSample {
public:
    PoolSample(MemAllocator& owner, const ALLOCATOR_PROPERTIES& props)
        : m_owner(owner),
          // calloc, not a cleared new[]: fresh pages come zeroed from the
          // system and are touched only when first filled, so a commit does
          // not wait for every page of the pool.
          m_block(static_cast<uint8_t*>(
              std::calloc(static_cast<size_t>(props.cbPrefix) + props.cbBuffer + props.cbAlign - 1, 1))),
          m_size(props.cbBuffer) {
        if (!m_block) throw std::bad_alloc();
        const uintptr_t start = reinterpret_cast<uintptr_t>(m_block.get()) + props.cbPrefix;
        const uintptr_t align = static_cast<uintptr_t>(props.cbAlign);
        m_data = reinterpret_cast<BYTE*>((start + align - 1) & ~(align - 1));
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMediaSample)) *out = static_cast<IMediaSample*>(this);
        else if (IsEqualIID(iid, kPictureSampleIid)) *out = static_cast<IPictureSample*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_refs.fetch_add(1) + 1; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetPointer(BYTE** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (m_picture.planes) {
            // Whoever asks first makes the RGB; the rest wait for it here.
            const HRESULT hr = MediaGuard([&] {
                m_picture.WriteRgb(m_data);
                return S_OK;
            });
            if (FAILED(hr)) return hr;
            m_picture = media::PlanarPicture{};
        }
        m_exposed = true;
        *out = m_data;
        return S_OK;
    }

    STDMETHODIMP SetPlanes(media::PlanarPicture picture) override {
        if (!picture.planes || !picture.rgb) return E_POINTER;
        const LONGLONG bytes = static_cast<LONGLONG>(picture.planes->width) * picture.planes->height * 4;
        if (bytes > m_size) return VFW_E_BUFFER_OVERFLOW;
        std::lock_guard<std::mutex> lock(m_pictureLock);
        m_picture = std::move(picture);
        m_exposed = false;
        m_actual = static_cast<LONG>(bytes);
        return S_OK;
    }
    STDMETHODIMP TakePlanes(AVFrame* planes) override {
        if (!planes) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (m_exposed || !m_picture.planes) return S_FALSE;
        av_frame_unref(planes);
        return av_frame_ref(planes, m_picture.planes.get()) < 0 ? E_OUTOFMEMORY : S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return m_size; }

    STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override {
        if (!start || !end) return E_POINTER;
        if (!m_hasStart) return VFW_E_SAMPLE_TIME_NOT_SET;
        *start = m_start;
        if (!m_hasEnd) {
            *end = m_start + 1;
            return VFW_S_NO_STOP_TIME;
        }
        *end = m_end;
        return S_OK;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override {
        m_hasStart = start != nullptr;
        m_hasEnd = start && end;
        m_start = start ? *start : 0;
        m_end = m_hasEnd ? *end : 0;
        return S_OK;
    }

    STDMETHODIMP IsSyncPoint() override { return m_syncPoint ? S_OK : S_FALSE; }
    STDMETHODIMP SetSyncPoint(BOOL on) override { return Flag(m_syncPoint, on); }
    STDMETHODIMP IsPreroll() override { return m_preroll ? S_OK : S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL on) override { return Flag(m_preroll, on); }
    STDMETHODIMP IsDiscontinuity() override { return m_discontinuity ? S_OK : S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL on) override { return Flag(m_discontinuity, on); }

    STDMETHODIMP_(LONG) GetActualDataLength() override { return m_actual; }
    STDMETHODIMP SetActualDataLength(LONG length) override {
        if (length < 0 || length > m_size) return VFW_E_BUFFER_OVERFLOW;
        m_actual = length;
        return S_OK;
    }

    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (m_type.Empty()) return S_FALSE;
        *out = m_type.NewCopy();
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* mt) override {
        return com::ComGuard([&]() -> HRESULT {
            if (mt) m_type = MediaType(*mt);
            else m_type.Clear();
            return S_OK;
        });
    }

    STDMETHODIMP GetMediaTime(LONGLONG* start, LONGLONG* end) override {
        if (!start || !end) return E_POINTER;
        if (!m_hasMediaTime) return VFW_E_MEDIA_TIME_NOT_SET;
        *start = m_mediaStart;
        *end = m_mediaEnd;
        return S_OK;
    }
    STDMETHODIMP SetMediaTime(LONGLONG* start, LONGLONG* end) override {
        if (!start) {
            m_hasMediaTime = false;
            return S_OK;
        }
        if (!end) return E_POINTER;
        m_hasMediaTime = true;
        m_mediaStart = *start;
        m_mediaEnd = *end;
        return S_OK;
    }

    // Out of the pool with one reference and nothing set.
    void HandOut() {
        m_refs = 1;
        m_actual = m_size;
    }
    bool Idle() const { return m_refs.load() == 0; }
    // What a caller set is forgotten on the way back.
    void Forget() {
        m_hasStart = m_hasEnd = m_hasMediaTime = false;
        m_syncPoint = m_preroll = m_discontinuity = false;
        m_type.Clear();
        std::lock_guard<std::mutex> lock(m_pictureLock);
        m_picture = media::PlanarPicture{};
        m_exposed = false;
    }

private:
    static HRESULT Flag(bool& flag, BOOL on) {
        flag = on != FALSE;
        return S_OK;
    }

    MemAllocator& m_owner;
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> m_block;
    BYTE* m_data = nullptr;
    LONG m_size;
    std::atomic<ULONG> m_refs{0};
    LONG m_actual = 0;
    bool m_hasStart = false, m_hasEnd = false, m_hasMediaTime = false;
    REFERENCE_TIME m_start = 0, m_end = 0;
    LONGLONG m_mediaStart = 0, m_mediaEnd = 0;
    bool m_syncPoint = false, m_preroll = false, m_discontinuity = false;
    MediaType m_type;
    std::mutex m_pictureLock;
    media::PlanarPicture m_picture;  // planes whose RGB is not made yet
    bool m_exposed = false;          // the buffer was asked for since the planes came
};

class MemAllocator final : public com::ComObjectRoot, public IMemAllocator {
public:
    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IMemAllocator)
        COM_QI(IMemAllocator)
    COM_END_QI()

    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        if (!request || !actual) return E_POINTER;
        const LONG align = request->cbAlign;
        if (align <= 0 || (align & (align - 1))) return VFW_E_BADALIGN;
        if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_committed) return VFW_E_ALREADY_COMMITTED;
        if (m_free.size() != m_samples.size()) return VFW_E_BUFFERS_OUTSTANDING;
        // Each buffer with its prefix fills whole alignment units.
        const LONGLONG unit = (static_cast<LONGLONG>(request->cbBuffer) + request->cbPrefix + align - 1) / align * align;
        if (unit - request->cbPrefix > MAXLONG) return E_OUTOFMEMORY;
        m_props = *request;
        m_props.cbBuffer = static_cast<LONG>(unit - request->cbPrefix);
        m_samples.clear();
        m_free.clear();
        *actual = m_props;
        return S_OK;
    }

    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* props) override {
        if (!props) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_lock);
        *props = m_props;
        return S_OK;
    }

    STDMETHODIMP Commit() override {
        return com::ComGuard([&]() -> HRESULT {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_committed) return S_OK;
            if (m_props.cBuffers <= 0 || m_props.cbBuffer <= 0) return VFW_E_SIZENOTSET;
            // Buffers still out from before a Decommit are used again.
            if (m_samples.empty()) {
                std::vector<std::unique_ptr<PoolSample>> made;
                for (LONG i = 0; i < m_props.cBuffers; ++i) made.push_back(std::make_unique<PoolSample>(*this, m_props));
                m_samples = std::move(made);
                for (auto& s : m_samples) m_free.push_back(s.get());
            }
            m_committed = true;
            return S_OK;
        });
    }

    STDMETHODIMP Decommit() override {
        std::vector<std::unique_ptr<PoolSample>> freed;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!m_committed) return S_OK;
            m_committed = false;
            if (m_free.size() == m_samples.size()) TakeAll(freed);
        }
        m_freed.notify_all();  // waiters in GetBuffer fail now
        return S_OK;
    }

    STDMETHODIMP GetBuffer(IMediaSample** out, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_committed) return VFW_E_NOT_COMMITTED;
        if (m_free.empty() && (flags & AM_GBF_NOWAIT)) return VFW_E_TIMEOUT;
        m_freed.wait(lock, [&] { return !m_committed || !m_free.empty(); });
        if (!m_committed) return VFW_E_NOT_COMMITTED;
        PoolSample* sample = m_free.back();
        m_free.pop_back();
        sample->HandOut();
        InternalAddRef();  // held by the sample until it is back
        *out = sample;
        return S_OK;
    }

    // The last Release of one of our samples ends here.
    STDMETHODIMP ReleaseBuffer(IMediaSample* buffer) override {
        if (!buffer) return E_POINTER;
        std::vector<std::unique_ptr<PoolSample>> freed;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            PoolSample* sample = nullptr;
            for (auto& s : m_samples)
                if (static_cast<IMediaSample*>(s.get()) == buffer) sample = s.get();
            // Only a sample nobody holds, and only once.
            if (!sample || !sample->Idle()) return E_INVALIDARG;
            for (PoolSample* s : m_free)
                if (s == sample) return E_INVALIDARG;
            sample->Forget();
            m_free.push_back(sample);
            if (!m_committed && m_free.size() == m_samples.size()) TakeAll(freed);
        }
        m_freed.notify_one();
        freed.clear();
        InternalRelease();
        return S_OK;
    }

private:
    ~MemAllocator() override = default;

    void TakeAll(std::vector<std::unique_ptr<PoolSample>>& into) {
        into.swap(m_samples);
        m_free.clear();
    }

    std::mutex m_lock;
    std::condition_variable m_freed;
    ALLOCATOR_PROPERTIES m_props{};
    bool m_committed = false;
    std::vector<std::unique_ptr<PoolSample>> m_samples;
    std::vector<PoolSample*> m_free;
};

STDMETHODIMP_(ULONG) PoolSample::Release() {
    const ULONG n = m_refs.fetch_sub(1) - 1;
    // The sample may be freed by the call: nothing of it is touched after.
    if (n == 0) m_owner.ReleaseBuffer(this);
    return n;
}

}  // namespace

HRESULT CreateMemAllocator(IMemAllocator** out) {
    return com::CreateAndQuery<MemAllocator>(IID_IMemAllocator, reinterpret_cast<void**>(out));
}

}  // namespace dshow
