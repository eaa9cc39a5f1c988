// Conformance of the filter kit and the filters built on it, checked
// against what DirectShow documents for filters and pins: state changes,
// connection with refused types, flushing, end of stream, seeking and
// reference counts. Small filters of the test's own stand on the far side
// of each pin; a probe graph records the events a filter posts.
#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "platform/dshow/MemAllocator.h"
#include "platform/dshow/OutputQueue.h"
#include "platform/dshow/PictureSample.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Seeking.h"
#include "platform/filters/AviMux.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/VideoCompressor.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using dshow::MediaType;

namespace {

std::atomic<int> g_sourcesFreed{0};
std::atomic<int> g_sinksFreed{0};

MediaType StreamType() {
    MediaType mt;
    mt.Edit().majortype = MEDIATYPE_Stream;
    mt.Edit().subtype = MEDIASUBTYPE_Avi;
    mt.Edit().formattype = FORMAT_None;
    return mt;
}

MediaType PcmType() {
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = 44100;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = 44100 * 4;
    MediaType mt;
    mt.Edit().majortype = MEDIATYPE_Audio;
    mt.Edit().subtype = MEDIASUBTYPE_PCM;
    mt.SetFormat(FORMAT_WaveFormatEx, &wfx, sizeof wfx);
    return mt;
}

MediaType VideoType() { return com::Rgb32VideoType(16, 8, 400000); }

// The graph a filter joins: it records what the filter posts.
class ProbeGraph final : public com::ComObjectRoot, public IFilterGraph, public IMediaEventSink {
public:
    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IFilterGraph)
        COM_QI(IFilterGraph)
        COM_QI(IMediaEventSink)
    COM_END_QI()

    STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }

    STDMETHODIMP Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back({code, p1, p2});
        return S_OK;
    }

    struct Event {
        LONG code;
        LONG_PTR p1, p2;
    };
    int Count(LONG code) {
        std::lock_guard<std::mutex> lock(m_lock);
        int n = 0;
        for (const Event& e : m_events) n += e.code == code;
        return n;
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }

private:
    ~ProbeGraph() override = default;
    std::mutex m_lock;
    std::vector<Event> m_events;
};

// ---- A source: one output pin offering the types it is given ------------------------

class TestSource;

class SourcePin final : public dshow::OutputPin, public dshow::SeekingBase {
public:
    SourcePin(TestSource& source, std::vector<MediaType> types);
    DSHOW_PIN_UNKNOWN(BasePin)

    dshow::OutputQueue queue{*this};
    bool useQueue = false;
    LONGLONG duration = 0;  // what IMediaSeeking reports; 0: nothing

    HRESULT Active() override {
        HRESULT hr = OutputPin::Active();
        if (SUCCEEDED(hr) && useQueue && IsConnected()) hr = queue.Start();
        return hr;
    }
    void Inactive() override {
        OutputPin::Inactive();
        queue.Stop();
    }
    // A free buffer without waiting for one, or null.
    ComPtr<IMediaSample> FreeBuffer() {
        ComPtr<IMediaSample> s;
        if (!m_allocator || FAILED(m_allocator->GetBuffer(s.Put(), nullptr, nullptr, AM_GBF_NOWAIT))) return nullptr;
        return s;
    }
    // A picture or block of zero bytes, stamped with its start time.
    ComPtr<IMediaSample> Blank(REFERENCE_TIME start, LONG size) {
        ComPtr<IMediaSample> s = Sample(start);
        BYTE* data = nullptr;
        if (!s || FAILED(s->GetPointer(&data)) || size > s->GetSize()) return nullptr;
        memset(data, 0, static_cast<size_t>(size));
        s->SetActualDataLength(size);
        return s;
    }
    // A sample of the pin's allocator stamped with a start time.
    ComPtr<IMediaSample> Sample(REFERENCE_TIME start, const char* text = "") {
        ComPtr<IMediaSample> s;
        if (FAILED(GetDeliveryBuffer(s.Put())) || !s) return nullptr;
        REFERENCE_TIME stop = start + 1;
        s->SetTime(&start, &stop);
        BYTE* data = nullptr;
        s->GetPointer(&data);
        const LONG size = lstrlenA(text);
        memcpy(data, text, static_cast<size_t>(size));
        s->SetActualDataLength(size);
        return s;
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        for (const MediaType& t : m_types)
            if (IsEqualGUID(mt.majortype, t.Get().majortype) && IsEqualGUID(mt.subtype, t.Get().subtype)) return S_OK;
        return S_FALSE;
    }
    bool GetMediaType(size_t index, MediaType& out) override {
        if (index >= m_types.size()) return false;
        out = m_types[index];
        return true;
    }
    void DecideBufferSize(ALLOCATOR_PROPERTIES& props) override {
        props.cBuffers = 3;
        props.cbBuffer = 4096;
    }
    void* QueryExtra(REFIID iid) override {
        return IsEqualIID(iid, IID_IMediaSeeking) && duration > 0 ? static_cast<IMediaSeeking*>(this) : nullptr;
    }
    HRESULT ReadDuration(LONGLONG* d) override {
        *d = duration;
        return S_OK;
    }
    HRESULT ReadPosition(LONGLONG* p) override {
        *p = 0;
        return S_OK;
    }

private:
    std::vector<MediaType> m_types;
};

class TestSource final : public dshow::BaseFilter {
public:
    explicit TestSource(std::vector<MediaType> types)
        : BaseFilter(GUID_NULL), pin(*this, std::move(types)) {}

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
    COM_END_QI()

    SourcePin pin;
    HRESULT activateResult = S_OK;

protected:
    size_t PinCount() override { return 1; }
    dshow::BasePin* PinAt(size_t) override { return &pin; }
    HRESULT OnActivate() override { return activateResult; }

private:
    ~TestSource() override { ++g_sourcesFreed; }
};

SourcePin::SourcePin(TestSource& source, std::vector<MediaType> types)
    : OutputPin(source, u"out"), m_types(std::move(types)) {}

// ---- A sink: one input pin taking one major type, recording what arrives ------------

class SinkPin final : public dshow::InputPin {
public:
    SinkPin(dshow::BaseFilter& filter, GUID major) : InputPin(filter, u"in"), m_major(major) {}

    std::mutex lock;
    std::vector<long long> received;
    int endOfStreams = 0, beginFlushes = 0, endFlushes = 0;
    HANDLE gate = nullptr;  // when set, Receive waits for it (after counting)

    size_t Received() {
        std::lock_guard<std::mutex> l(lock);
        return received.size();
    }
    int EndOfStreams() {
        std::lock_guard<std::mutex> l(lock);
        return endOfStreams;
    }
    // Deliveries that have returned (their answer given).
    size_t Answered() {
        std::lock_guard<std::mutex> l(lock);
        return answered;
    }
    void Answer(HRESULT hr) {
        std::lock_guard<std::mutex> l(lock);
        answer = hr;
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        return IsEqualGUID(mt.majortype, m_major) ? S_OK : S_FALSE;
    }
    HRESULT OnReceive(IMediaSample* sample) override {
        REFERENCE_TIME start = -1, stop = -1;
        sample->GetTime(&start, &stop);
        {
            std::lock_guard<std::mutex> l(lock);
            received.push_back(start);
        }
        if (gate) WaitForSingleObject(gate, 10000);
        std::lock_guard<std::mutex> l(lock);
        ++answered;
        return answer;
    }
    HRESULT OnEndOfStream() override {
        std::lock_guard<std::mutex> l(lock);
        ++endOfStreams;
        return S_OK;
    }
    void OnBeginFlush() override { ++beginFlushes; }
    void OnEndFlush() override { ++endFlushes; }

private:
    GUID m_major;
    HRESULT answer = S_OK;
    size_t answered = 0;
};

class TestSink final : public dshow::BaseFilter {
public:
    explicit TestSink(GUID major) : BaseFilter(GUID_NULL), pin(*this, major) {}

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
    COM_END_QI()

    SinkPin pin;

protected:
    size_t PinCount() override { return 1; }
    dshow::BasePin* PinAt(size_t) override { return &pin; }

private:
    ~TestSink() override { ++g_sinksFreed; }
};

ComPtr<TestSource> Source(std::vector<MediaType> types) { return com::MakeObject<TestSource>(std::move(types)); }
ComPtr<TestSink> Sink(GUID major) { return com::MakeObject<TestSink>(major); }

ComPtr<IBaseFilter> NewWriter() {
    ComPtr<IBaseFilter> f;
    plat::FileWriter::CreateInstance(nullptr, IID_IBaseFilter, f.PutVoid());
    return f;
}

ComPtr<IBaseFilter> NewMux() {
    ComPtr<IBaseFilter> f;
    plat::AviMux::CreateInstance(nullptr, IID_IBaseFilter, f.PutVoid());
    return f;
}

ComPtr<IPin> PinNamed(IBaseFilter* filter, const char16_t* name) {
    ComPtr<IPin> pin;
    filter->FindPin(com::W(name), pin.Put());
    return pin;
}

FILTER_STATE StateOf(IBaseFilter* f) {
    FILTER_STATE s = static_cast<FILTER_STATE>(-1);
    CHECK_HR(f->GetState(0, &s));
    return s;
}

// Both ends of a refused connection stay free.
void CheckUnconnected(IPin* pin) {
    IPin* peer = reinterpret_cast<IPin*>(1);
    CHECK_HR_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    CHECK(peer == nullptr);
    AM_MEDIA_TYPE mt;
    memset(&mt, 0xcc, sizeof mt);
    CHECK_HR_EQ(pin->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
    CHECK(mt.pbFormat == nullptr && mt.pUnk == nullptr);
}

// Opens a gate once a filter reads stopped (or after ten seconds).
struct GateOpener {
    HANDLE gate;
    IBaseFilter* filter;
};

DWORD WINAPI OpenOnceStopped(void* param) {
    const auto* opener = static_cast<const GateOpener*>(param);
    FILTER_STATE state = State_Running;
    for (int i = 0; i < 1000; ++i, Sleep(10))
        if (SUCCEEDED(opener->filter->GetState(0, &state)) && state == State_Stopped) break;
    SetEvent(opener->gate);
    return 0;
}

std::string ReadWholeFile(const std::string& unixPath) {
    // Opening without sharing also proves the writer let go of the file.
    const HANDLE h = CreateFileW(com::W(pt::WindowsPath(unixPath)), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<not readable>";
    char buf[256];
    DWORD got = 0;
    ReadFile(h, buf, sizeof buf, &got, nullptr);
    CloseHandle(h);
    return std::string(buf, got);
}

}  // namespace

// ---- State ---------------------------------------------------------------------------

WT_TEST(FilterKit, StateTransitionsStopPauseRunAndBack) {
    ComPtr<TestSource> src = Source({PcmType()});
    ComPtr<TestSink> sink = Sink(MEDIATYPE_Audio);
    REQUIRE_HR(src->pin.Connect(&sink->pin, nullptr));
    IBaseFilter* filters[] = {src.Get(), sink.Get()};

    for (IBaseFilter* f : filters) CHECK_EQ(StateOf(f), State_Stopped);
    CHECK_HR_EQ(src->GetState(0, nullptr), E_POINTER);
    // Upstream filters change state last, as the graph does it.
    const struct {
        const char* step;
        FILTER_STATE state;
    } steps[] = {{"pause", State_Paused}, {"run", State_Running},  {"pause", State_Paused}, {"stop", State_Stopped},
                 {"run", State_Running},  {"stop", State_Stopped}, {"stop", State_Stopped}};
    for (const auto& s : steps) {
        for (int i = 1; i >= 0; --i) {
            IBaseFilter* f = filters[i];
            const std::string step = s.step;
            CHECK_HR(step == "pause" ? f->Pause() : step == "run" ? f->Run(0) : f->Stop());
            // The kit changes state at once: never VFW_S_STATE_INTERMEDIATE.
            FILTER_STATE now = static_cast<FILTER_STATE>(-1);
            CHECK_HR(f->GetState(INFINITE, &now));
            CHECK_EQ(now, s.state);
        }
        // A sample is taken only while the filters are active.
        ComPtr<IMediaSample> sample = src->pin.Sample(0);
        CHECK_EQ(static_cast<bool>(sample), s.state != State_Stopped);
        if (sample) CHECK_HR(src->pin.Deliver(sample.Get()));
    }
    CHECK_EQ(sink->pin.Received(), 4u);
    src->pin.Disconnect();
    sink->pin.Disconnect();
}

WT_TEST(FilterKit, FailedStartStaysStoppedWithPinsInactive) {
    ComPtr<TestSource> src = Source({PcmType()});
    ComPtr<TestSink> sink = Sink(MEDIATYPE_Audio);
    REQUIRE_HR(src->pin.Connect(&sink->pin, nullptr));
    src->activateResult = E_ACCESSDENIED;
    CHECK_HR_EQ(src->Pause(), E_ACCESSDENIED);
    CHECK_EQ(StateOf(src.Get()), State_Stopped);
    CHECK_HR_EQ(src->Run(0), E_ACCESSDENIED);
    CHECK_EQ(StateOf(src.Get()), State_Stopped);
    // The output's allocator was committed and is decommitted again.
    ComPtr<IMediaSample> sample;
    CHECK_HR_EQ(src->pin.GetDeliveryBuffer(sample.Put()), VFW_E_NOT_COMMITTED);

    src->activateResult = S_OK;
    CHECK_HR(src->Pause());
    CHECK_HR(src->pin.GetDeliveryBuffer(sample.Put()));
    sample = nullptr;
    src->Stop();
    src->pin.Disconnect();
    sink->pin.Disconnect();
}

WT_TEST(FilterKit, FileWriterStartsOnlyWithAFileWhenConnected) {
    ComPtr<IBaseFilter> writer = NewWriter();
    ComPtr<IFileSinkFilter> sink;
    REQUIRE_HR(writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()));
    // Nothing connected: nothing to write, the state still changes.
    CHECK_HR(writer->Run(0));
    CHECK_EQ(StateOf(writer.Get()), State_Running);
    CHECK_HR_EQ(sink->SetFileName(L"Z:\\tmp\\x.avi", nullptr), VFW_E_WRONG_STATE);
    CHECK_HR(writer->Stop());

    ComPtr<TestSource> src = Source({StreamType()});
    ComPtr<IPin> in = PinNamed(writer.Get(), u"in");
    REQUIRE_HR(src->pin.Connect(in.Get(), nullptr));
    CHECK(FAILED(writer->Pause()));
    CHECK_EQ(StateOf(writer.Get()), State_Stopped);
    LPOLESTR name = nullptr;
    CHECK_HR_EQ(sink->GetCurFile(&name, nullptr), E_FAIL);
    CHECK(name == nullptr);

    // A folder that cannot hold the file: the start fails, nothing stays open.
    const std::u16string bad = pt::WindowsPath(pt::OutputPath("no-such-folder/x.avi"));
    CHECK_HR(sink->SetFileName(com::W(bad), nullptr));
    CHECK(FAILED(writer->Pause()));
    CHECK_EQ(StateOf(writer.Get()), State_Stopped);
    src->pin.Disconnect();
    in->Disconnect();
}

// ---- Connection ------------------------------------------------------------------------

WT_TEST(FilterKit, RefusedTypesLeaveBothPinsUnconnected) {
    ComPtr<IBaseFilter> writer = NewWriter();
    ComPtr<IPin> in = PinNamed(writer.Get(), u"in");
    REQUIRE(in);
    ComPtr<TestSource> video = Source({VideoType()});

    CHECK_HR_EQ(in->QueryAccept(&VideoType().Get()), S_FALSE);
    CHECK_HR_EQ(in->QueryAccept(&StreamType().Get()), S_OK);
    // A whole type the receiver refuses, then no type at all.
    CHECK_HR_EQ(video->pin.Connect(in.Get(), &VideoType().Get()), VFW_E_TYPE_NOT_ACCEPTED);
    CheckUnconnected(&video->pin);
    CheckUnconnected(in.Get());
    CHECK_HR_EQ(video->pin.Connect(in.Get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    CheckUnconnected(&video->pin);
    CheckUnconnected(in.Get());
    // Offered directly, the same type is refused too.
    CHECK_HR_EQ(in->ReceiveConnection(&video->pin, &VideoType().Get()), VFW_E_TYPE_NOT_ACCEPTED);
    CheckUnconnected(in.Get());
    // A pin of the wrong direction is refused whatever the type.
    ComPtr<TestSink> other = Sink(MEDIATYPE_Stream);
    CHECK_HR_EQ(in->ReceiveConnection(&other->pin, &StreamType().Get()), VFW_E_INVALID_DIRECTION);
    CheckUnconnected(in.Get());
    CHECK(FAILED(video->pin.Connect(&video->pin, nullptr)));
    CheckUnconnected(&video->pin);

    // A type with the major type alone picks the source's matching one.
    ComPtr<TestSource> stream = Source({VideoType(), StreamType()});
    AM_MEDIA_TYPE partial{};
    partial.majortype = MEDIATYPE_Stream;
    REQUIRE_HR(stream->pin.Connect(in.Get(), &partial));
    ComPtr<IPin> peer;
    CHECK_HR(in->ConnectedTo(peer.Put()));
    CHECK(peer.Get() == static_cast<IPin*>(&stream->pin));
    MediaType got;
    CHECK_HR(in->ConnectionMediaType(got.Put()));
    CHECK_EQ(got.Get().subtype, MEDIASUBTYPE_Avi);
    CHECK_HR_EQ(stream->pin.Connect(in.Get(), nullptr), VFW_E_ALREADY_CONNECTED);
    CHECK(FAILED(video->pin.Connect(in.Get(), nullptr)));
    CheckUnconnected(&video->pin);
    CHECK_HR_EQ(in->ReceiveConnection(&video->pin, &StreamType().Get()), VFW_E_ALREADY_CONNECTED);

    // No disconnection while active; both ends disconnect on their own.
    const std::string out = pt::OutputPath("kit-connect.bin");
    ComPtr<IFileSinkFilter> fs;
    writer->QueryInterface(IID_IFileSinkFilter, fs.PutVoid());
    CHECK_HR(fs->SetFileName(com::W(pt::WindowsPath(out)), nullptr));
    CHECK_HR(writer->Pause());
    CHECK_HR_EQ(in->Disconnect(), VFW_E_NOT_STOPPED);
    CHECK_HR(writer->Stop());
    CHECK_HR(in->Disconnect());
    CHECK_HR_EQ(in->Disconnect(), S_FALSE);
    CheckUnconnected(in.Get());
    CHECK_HR(stream->pin.Disconnect());
    CheckUnconnected(&stream->pin);
    // And reconnect.
    CHECK_HR(stream->pin.Connect(in.Get(), nullptr));
    stream->pin.Disconnect();
    in->Disconnect();
}

WT_TEST(FilterKit, MuxRefusesPeersAndAddsInputs) {
    ComPtr<IBaseFilter> mux = NewMux();
    ComPtr<IPin> out = PinNamed(mux.Get(), u"AVI Out");
    ComPtr<IPin> in1 = PinNamed(mux.Get(), u"Input 01");
    REQUIRE(out && in1);
    CHECK(!PinNamed(mux.Get(), u"Input 02"));

    // The output writes at positions of its choosing: a peer without
    // IStream is refused after it accepted the type.
    ComPtr<TestSink> byteSink = Sink(MEDIATYPE_Stream);
    CHECK(FAILED(out->Connect(&byteSink->pin, nullptr)));
    CheckUnconnected(out.Get());
    CheckUnconnected(&byteSink->pin);

    ComPtr<TestSource> bytes = Source({StreamType()});
    CHECK(FAILED(bytes->pin.Connect(in1.Get(), nullptr)));
    CheckUnconnected(in1.Get());
    CHECK(!PinNamed(mux.Get(), u"Input 02"));

    ComPtr<TestSource> audio = Source({PcmType()});
    REQUIRE_HR(audio->pin.Connect(in1.Get(), nullptr));
    ComPtr<IPin> in2 = PinNamed(mux.Get(), u"Input 02");
    CHECK(in2);
    ComPtr<IEnumPins> pins;
    REQUIRE_HR(mux->EnumPins(pins.Put()));
    IPin* all[4] = {};
    ULONG fetched = 0;
    CHECK_HR_EQ(pins->Next(4, all, &fetched), S_FALSE);
    CHECK_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) all[i]->Release();

    // A disconnected input is free again: no third input appears for it.
    CHECK_HR(in1->Disconnect());
    CHECK_HR(audio->pin.Disconnect());
    REQUIRE_HR(audio->pin.Connect(in1.Get(), nullptr));
    CHECK(!PinNamed(mux.Get(), u"Input 03"));
    in1->Disconnect();
    audio->pin.Disconnect();
}

WT_TEST(FilterKit, MediaTypeEnumerators) {
    ComPtr<IBaseFilter> mux = NewMux();
    ComPtr<IEnumMediaTypes> types;
    REQUIRE_HR(PinNamed(mux.Get(), u"AVI Out")->EnumMediaTypes(types.Put()));
    AM_MEDIA_TYPE* got[2] = {};
    ULONG n = 9;
    CHECK_HR_EQ(types->Next(2, got, nullptr), E_POINTER);
    CHECK_HR_EQ(types->Next(2, got, &n), S_FALSE);
    CHECK_EQ(n, 1u);
    REQUIRE(got[0]);
    CHECK_EQ(got[0]->majortype, MEDIATYPE_Stream);
    CHECK_EQ(got[0]->subtype, MEDIASUBTYPE_Avi);
    com::DeleteMediaType(got[0]);
    CHECK_HR_EQ(types->Next(1, got, nullptr), S_FALSE);
    CHECK_HR(types->Reset());
    ComPtr<IEnumMediaTypes> clone;
    CHECK_HR(types->Skip(1));
    CHECK_HR_EQ(types->Skip(1), S_FALSE);
    CHECK_HR(types->Reset());
    CHECK_HR(types->Clone(clone.Put()));
    CHECK_HR_EQ(types->Skip(5), S_FALSE);
    // The clone keeps its own place.
    CHECK_HR(clone->Next(1, got, nullptr));
    com::DeleteMediaType(got[0]);

    // An input that offers nothing lists nothing.
    ComPtr<IBaseFilter> writer = NewWriter();
    ComPtr<IEnumMediaTypes> none;
    REQUIRE_HR(PinNamed(writer.Get(), u"in")->EnumMediaTypes(none.Put()));
    n = 9;
    CHECK_HR_EQ(none->Next(1, got, &n), S_FALSE);
    CHECK_EQ(n, 0u);
}

// ---- Flushing and end of stream ------------------------------------------------------------

WT_TEST(FilterKit, FlushingRefusesSamplesAndClearsEndOfStream) {
    ComPtr<TestSource> src = Source({PcmType()});
    ComPtr<TestSink> sink = Sink(MEDIATYPE_Audio);
    REQUIRE_HR(src->pin.Connect(&sink->pin, nullptr));
    ComPtr<IMediaSample> s;
    CHECK_HR(sink->Run(0));
    CHECK_HR(src->Run(0));
    s = src->pin.Sample(1);
    CHECK_HR(src->pin.Deliver(s.Get()));

    CHECK_HR(src->pin.DeliverBeginFlush());
    CHECK_HR_EQ(src->pin.Deliver(s.Get()), S_FALSE);
    CHECK_HR_EQ(src->pin.DeliverEndOfStream(), S_FALSE);
    CHECK_HR(src->pin.DeliverEndFlush());
    CHECK_EQ(sink->pin.beginFlushes, 1);
    CHECK_EQ(sink->pin.endFlushes, 1);
    CHECK_EQ(sink->pin.endOfStreams, 0);
    CHECK_HR(src->pin.Deliver(s.Get()));
    CHECK_EQ(sink->pin.Received(), 2u);

    // After the end of stream samples are refused until a flush.
    CHECK_HR(src->pin.DeliverEndOfStream());
    CHECK_EQ(sink->pin.endOfStreams, 1);
    CHECK_HR_EQ(src->pin.Deliver(s.Get()), VFW_E_SAMPLE_REJECTED_EOS);
    src->pin.DeliverBeginFlush();
    src->pin.DeliverEndFlush();
    CHECK_HR(src->pin.Deliver(s.Get()));
    CHECK_EQ(sink->pin.Received(), 3u);
    // ReceiveMultiple stops at the first refusal and counts what went.
    IMediaSample* two[2] = {s.Get(), s.Get()};
    LONG done = -1;
    src->pin.DeliverEndOfStream();
    ComPtr<IMemInputPin> mem;
    sink->pin.QueryInterface(IID_IMemInputPin, mem.PutVoid());
    CHECK_HR_EQ(mem->ReceiveMultiple(two, 2, &done), VFW_E_SAMPLE_REJECTED_EOS);
    CHECK_EQ(done, 0);

    CHECK_HR(sink->Stop());
    CHECK_HR(src->Stop());
    CHECK_HR_EQ(mem->Receive(s.Get()), VFW_E_WRONG_STATE);
    CHECK_HR_EQ(sink->pin.EndOfStream(), VFW_E_WRONG_STATE);
    s = nullptr;
    src->pin.Disconnect();
    sink->pin.Disconnect();
}

WT_TEST(FilterKit, OutputQueueDeliversInOrderAndDropsOnStop) {
    ComPtr<TestSource> src = Source({PcmType()});
    ComPtr<TestSink> sink = Sink(MEDIATYPE_Audio);
    src->pin.useQueue = true;
    REQUIRE_HR(src->pin.Connect(&sink->pin, nullptr));
    const HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sink->pin.gate = gate;
    CHECK_HR(sink->Run(0));
    CHECK_HR(src->Run(0));
    // Three buffers: one under way downstream, two waiting.
    for (REFERENCE_TIME t = 1; t <= 3; ++t) CHECK_HR(src->pin.queue.Receive(src->pin.Sample(t).Get()));
    CHECK_HR(src->pin.queue.EndOfStream());
    SetEvent(gate);
    CHECK(wt::PumpUntil([&] { return sink->pin.EndOfStreams() == 1; }, 10000));
    CHECK(sink->pin.received == (std::vector<long long>{1, 2, 3}));

    // A stop drops what waits and gives the buffers back.
    CHECK_HR(sink->Stop());
    CHECK_HR(src->Stop());
    CHECK_HR(sink->Run(0));
    CHECK_HR(src->Run(0));
    ResetEvent(gate);
    for (REFERENCE_TIME t = 4; t <= 6; ++t) CHECK_HR(src->pin.queue.Receive(src->pin.Sample(t).Get()));
    CHECK(wt::PumpUntil([&] { return sink->pin.Received() == 4; }, 10000));
    // The delivery under way is still waiting when the stop begins, and
    // ends only once the source's stop is under way.
    GateOpener opening{gate, src.Get()};
    const HANDLE opener = CreateThread(nullptr, 0, &OpenOnceStopped, &opening, 0, nullptr);
    CHECK_HR(sink->Stop());
    CHECK_HR(src->Stop());
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
    CHECK_EQ(sink->pin.Received(), 4u);
    CHECK_HR_EQ(src->pin.queue.EndOfStream(), VFW_E_WRONG_STATE);
    CHECK_HR(sink->Run(0));
    CHECK_HR(src->Run(0));
    {
        ComPtr<IMediaSample> held[3];
        for (auto& s : held) {
            s = src->pin.FreeBuffer();
            CHECK(s);
        }
    }

    // A flush drops what waits and what comes during it; then samples flow again.
    ResetEvent(gate);
    for (REFERENCE_TIME t = 10; t <= 12; ++t) CHECK_HR(src->pin.queue.Receive(src->pin.Sample(t).Get()));
    CHECK(wt::PumpUntil([&] { return sink->pin.Received() == 5; }, 10000));
    src->pin.queue.BeginFlush();
    CHECK_HR(src->pin.queue.Receive(src->pin.Sample(13).Get()));
    SetEvent(gate);
    src->pin.queue.EndFlush();
    CHECK_HR(src->pin.queue.Receive(src->pin.Sample(14).Get()));
    CHECK(wt::PumpUntil([&] { return sink->pin.Received() == 6; }, 10000));
    CHECK(sink->pin.received == (std::vector<long long>{1, 2, 3, 4, 10, 14}));

    // A refused delivery is the answer to what follows, end of stream too.
    // (Once the last accepted delivery has had its answer: it is counted
    // on arrival, answered after.)
    CHECK(wt::PumpUntil([&] { return sink->pin.Answered() == 6; }, 10000));
    sink->pin.Answer(E_FAIL);
    CHECK_HR(src->pin.queue.Receive(src->pin.Sample(20).Get()));
    CHECK(wt::PumpUntil([&] { return sink->pin.Received() == 7; }, 10000));
    CHECK(wt::PumpUntil([&] { return src->pin.queue.Receive(src->pin.Sample(21).Get()) == E_FAIL; }, 10000));
    CHECK_HR_EQ(src->pin.queue.EndOfStream(), E_FAIL);
    CHECK_EQ(sink->pin.EndOfStreams(), 1);
    CHECK_HR(sink->Stop());
    CHECK_HR(src->Stop());
    CloseHandle(gate);
    src->pin.Disconnect();
    sink->pin.Disconnect();
}

WT_TEST(FilterKit, FileWriterCompletesOncePerStream) {
    ComPtr<ProbeGraph> graph = com::MakeObject<ProbeGraph>();
    ComPtr<IBaseFilter> writer = NewWriter();
    ComPtr<TestSource> src = Source({StreamType()});
    CHECK_HR(writer->JoinFilterGraph(graph.Get(), L"writer"));
    FILTER_INFO info{};
    CHECK_HR(writer->QueryFilterInfo(&info));
    CHECK(info.pGraph == static_cast<IFilterGraph*>(graph.Get()));
    CHECK(lstrcmpW(info.achName, L"writer") == 0);
    if (info.pGraph) info.pGraph->Release();

    const std::string out = pt::OutputPath("kit-eos.bin");
    ComPtr<IFileSinkFilter> fs;
    writer->QueryInterface(IID_IFileSinkFilter, fs.PutVoid());
    REQUIRE_HR(fs->SetFileName(com::W(pt::WindowsPath(out)), nullptr));
    REQUIRE_HR(src->pin.Connect(PinNamed(writer.Get(), u"in").Get(), nullptr));
    CHECK_HR_EQ(src->pin.DeliverEndOfStream(), VFW_E_WRONG_STATE);
    CHECK_EQ(graph->Count(EC_COMPLETE), 0);

    for (int round = 1; round <= 2; ++round) {
        CHECK_HR(writer->Run(0));
        CHECK_HR(src->Run(0));
        // Samples carry their byte offset as start time.
        CHECK_HR(src->pin.Deliver(src->pin.Sample(5, "world").Get()));
        CHECK_HR(src->pin.Deliver(src->pin.Sample(0, "hello").Get()));
        CHECK_HR(src->pin.DeliverEndOfStream());
        CHECK_EQ(ReadWholeFile(out), std::string("helloworld"));
        CHECK_HR(src->pin.DeliverEndOfStream());
        CHECK_HR_EQ(src->pin.Deliver(src->pin.Sample(0, "x").Get()), VFW_E_SAMPLE_REJECTED_EOS);
        CHECK_EQ(graph->Count(EC_COMPLETE), round);
        CHECK_HR(src->Stop());
        CHECK_HR(writer->Stop());
    }
    const std::vector<ProbeGraph::Event> events = graph->Events();
    REQUIRE(!events.empty());
    CHECK_EQ(events.back().p1, static_cast<LONG_PTR>(S_OK));
    CHECK(events.back().p2 == reinterpret_cast<LONG_PTR>(writer.Get()));
    src->pin.Disconnect();
    PinNamed(writer.Get(), u"in")->Disconnect();
    writer->JoinFilterGraph(nullptr, nullptr);
}

WT_TEST(FilterKit, MuxEndsTheFileWhenEveryInputEnded) {
    ComPtr<ProbeGraph> graph = com::MakeObject<ProbeGraph>();
    ComPtr<IBaseFilter> writer = NewWriter();
    ComPtr<IBaseFilter> mux = NewMux();
    ComPtr<TestSource> audio = Source({PcmType()});
    ComPtr<TestSource> video = Source({VideoType()});
    IBaseFilter* filters[] = {writer.Get(), mux.Get(), audio.Get(), video.Get()};
    for (IBaseFilter* f : filters) f->JoinFilterGraph(graph.Get(), nullptr);
    const std::string out = pt::OutputPath("kit-mux.avi");
    ComPtr<IFileSinkFilter> fs;
    writer->QueryInterface(IID_IFileSinkFilter, fs.PutVoid());
    REQUIRE_HR(fs->SetFileName(com::W(pt::WindowsPath(out)), nullptr));
    REQUIRE_HR(PinNamed(mux.Get(), u"AVI Out")->Connect(PinNamed(writer.Get(), u"in").Get(), nullptr));
    REQUIRE_HR(audio->pin.Connect(PinNamed(mux.Get(), u"Input 01").Get(), nullptr));
    REQUIRE_HR(video->pin.Connect(PinNamed(mux.Get(), u"Input 02").Get(), nullptr));

    for (IBaseFilter* f : filters) CHECK_HR(f->Run(0));
    CHECK_HR(audio->pin.DeliverEndOfStream());
    CHECK_EQ(graph->Count(EC_COMPLETE), 0);
    CHECK_HR(video->pin.DeliverEndOfStream());
    CHECK_EQ(graph->Count(EC_COMPLETE), 1);
    CHECK_HR(video->pin.DeliverEndOfStream());
    CHECK_EQ(graph->Count(EC_COMPLETE), 1);
    CHECK(ReadWholeFile(out).compare(0, 4, "RIFF") == 0);
    for (IBaseFilter* f : filters) CHECK_HR(f->Stop());
    CHECK_EQ(graph->Count(EC_COMPLETE), 1);
    CHECK_EQ(graph->Count(EC_ERRORABORT), 0);

    for (IBaseFilter* f : filters) {
        ComPtr<IEnumPins> pins;
        f->EnumPins(pins.Put());
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.Put(), nullptr) == S_OK) pin->Disconnect();
        f->JoinFilterGraph(nullptr, nullptr);
    }
}

WT_TEST(FilterKit, CompressorPassesFlushAndEndOfStreamOn) {
    ComPtr<ProbeGraph> graph = com::MakeObject<ProbeGraph>();
    ComPtr<IBaseFilter> codec;
    REQUIRE_HR(plat::VideoCompressor::Create(2, nullptr, IID_IBaseFilter, codec.PutVoid()));  // Huffyuv
    ComPtr<TestSource> src = Source({com::Rgb32VideoType(32, 16, 400000)});
    ComPtr<TestSink> sink = Sink(MEDIATYPE_Video);
    IBaseFilter* filters[] = {sink.Get(), codec.Get(), src.Get()};
    for (IBaseFilter* f : filters) f->JoinFilterGraph(graph.Get(), nullptr);
    ComPtr<IPin> in = PinNamed(codec.Get(), u"Input"), out = PinNamed(codec.Get(), u"Output");
    REQUIRE(in && out);
    REQUIRE_HR(src->pin.Connect(in.Get(), nullptr));
    REQUIRE_HR(out->Connect(&sink->pin, nullptr));

    for (IBaseFilter* f : filters) CHECK_HR(f->Run(0));
    for (REFERENCE_TIME t = 0; t < 3; ++t) CHECK_HR(src->pin.Deliver(src->pin.Blank(t * 400000, 32 * 16 * 4).Get()));
    CHECK_HR(src->pin.DeliverEndOfStream());
    CHECK(wt::PumpUntil([&] { return sink->pin.EndOfStreams() == 1; }, 10000));
    CHECK(sink->pin.received == (std::vector<long long>{0, 400000, 800000}));

    // A flush reaches the filter downstream.
    CHECK_HR(src->pin.DeliverBeginFlush());
    CHECK_HR_EQ(src->pin.Deliver(src->pin.Blank(0, 32 * 16 * 4).Get()), S_FALSE);
    CHECK_HR(src->pin.DeliverEndFlush());
    CHECK_EQ(sink->pin.beginFlushes, 1);
    CHECK_EQ(sink->pin.endFlushes, 1);
    CHECK_EQ(graph->Count(EC_ERRORABORT), 0);
    for (IBaseFilter* f : filters) CHECK_HR(f->Stop());
    src->pin.Disconnect();
    in->Disconnect();
    out->Disconnect();
    sink->pin.Disconnect();
    for (IBaseFilter* f : filters) f->JoinFilterGraph(nullptr, nullptr);
}

// ---- Seeking -----------------------------------------------------------------------------

WT_TEST(FilterKit, MuxSeekingReportsWhatItCanDo) {
    ComPtr<IBaseFilter> mux = NewMux();
    ComPtr<IMediaSeeking> seeking;
    REQUIRE_HR(mux->QueryInterface(IID_IMediaSeeking, seeking.PutVoid()));

    DWORD caps = 0;
    CHECK_HR(seeking->GetCapabilities(&caps));
    CHECK_EQ(caps, static_cast<DWORD>(AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos |
                                      AM_SEEKING_CanGetDuration));
    caps = AM_SEEKING_CanGetDuration | AM_SEEKING_CanSeekAbsolute;
    CHECK_HR_EQ(seeking->CheckCapabilities(&caps), S_FALSE);
    CHECK_EQ(caps, static_cast<DWORD>(AM_SEEKING_CanGetDuration));
    caps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanPlayBackwards;
    CHECK_HR_EQ(seeking->CheckCapabilities(&caps), E_FAIL);
    CHECK_EQ(caps, 0u);

    GUID format = GUID_NULL;
    CHECK_HR(seeking->QueryPreferredFormat(&format));
    CHECK_EQ(format, TIME_FORMAT_MEDIA_TIME);
    CHECK_HR(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME));
    CHECK_HR_EQ(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_FALSE);
    CHECK_HR_EQ(seeking->IsUsingTimeFormat(&TIME_FORMAT_SAMPLE), S_FALSE);
    CHECK(FAILED(seeking->SetTimeFormat(&TIME_FORMAT_FRAME)));
    CHECK_HR(seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
    CHECK_HR(seeking->GetTimeFormat(&format));
    CHECK_EQ(format, TIME_FORMAT_MEDIA_TIME);
    LONGLONG t = 0;
    CHECK_HR(seeking->ConvertTimeFormat(&t, nullptr, 12345, &TIME_FORMAT_MEDIA_TIME));
    CHECK_EQ(t, 12345LL);
    CHECK_HR_EQ(seeking->ConvertTimeFormat(&t, &TIME_FORMAT_FRAME, 1, nullptr), E_INVALIDARG);

    // It cannot seek, with or without absolute positions.
    LONGLONG current = 10000000, stop = 20000000;
    CHECK(FAILED(seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop,
                                       AM_SEEKING_AbsolutePositioning)));
    CHECK(FAILED(seeking->SetPositions(&current, AM_SEEKING_RelativePositioning, nullptr, AM_SEEKING_NoPositioning)));
    // Rates: normal speed only; zero is not a rate.
    CHECK_HR(seeking->SetRate(1.0));
    CHECK(FAILED(seeking->SetRate(2.0)));
    CHECK_HR_EQ(seeking->SetRate(0.0), E_INVALIDARG);
    double rate = 0;
    CHECK_HR(seeking->GetRate(&rate));
    CHECK_EQ(rate, 1.0);
    CHECK_HR_EQ(seeking->GetRate(nullptr), E_POINTER);
    LONGLONG preroll = -1;
    CHECK_HR(seeking->GetPreroll(&preroll));
    CHECK_EQ(preroll, 0LL);
}

WT_TEST(FilterKit, MuxDurationFollowsItsInputs) {
    ComPtr<IBaseFilter> mux = NewMux();
    ComPtr<IMediaSeeking> seeking;
    REQUIRE_HR(mux->QueryInterface(IID_IMediaSeeking, seeking.PutVoid()));
    LONGLONG d = -1;
    CHECK(FAILED(seeking->GetDuration(&d)));
    CHECK_EQ(d, 0LL);

    ComPtr<TestSource> audio = Source({PcmType()});
    ComPtr<TestSource> video = Source({VideoType()});
    audio->pin.duration = 10000000;
    video->pin.duration = 30000000;
    REQUIRE_HR(audio->pin.Connect(PinNamed(mux.Get(), u"Input 01").Get(), nullptr));
    CHECK_HR(seeking->GetDuration(&d));
    CHECK_EQ(d, 10000000LL);
    // A longer input connected later makes the whole longer.
    REQUIRE_HR(video->pin.Connect(PinNamed(mux.Get(), u"Input 02").Get(), nullptr));
    CHECK_HR(seeking->GetDuration(&d));
    CHECK_EQ(d, 30000000LL);
    LONGLONG stop = 0, earliest = -1, latest = 0;
    CHECK_HR(seeking->GetStopPosition(&stop));
    CHECK_EQ(stop, 30000000LL);
    CHECK_HR(seeking->GetAvailable(&earliest, &latest));
    CHECK_EQ(earliest, 0LL);
    CHECK_EQ(latest, 30000000LL);

    // Reconnected to shorter sources, it says so.
    for (const char16_t* name : {u"Input 01", u"Input 02"}) PinNamed(mux.Get(), name)->Disconnect();
    audio->pin.Disconnect();
    video->pin.Disconnect();
    audio->pin.duration = 5000000;
    REQUIRE_HR(audio->pin.Connect(PinNamed(mux.Get(), u"Input 01").Get(), nullptr));
    CHECK_HR(seeking->GetDuration(&d));
    CHECK_EQ(d, 5000000LL);
    PinNamed(mux.Get(), u"Input 01")->Disconnect();
    audio->pin.Disconnect();
}

// ---- Reference counts -----------------------------------------------------------------------

WT_TEST(FilterKit, GraphTornDownFreesEveryFilter) {
    const int sourcesBefore = g_sourcesFreed, sinksBefore = g_sinksFreed;
    IBaseFilter* writer = nullptr;
    IBaseFilter* mux = nullptr;
    REQUIRE_HR(plat::FileWriter::CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&writer)));
    REQUIRE_HR(plat::AviMux::CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&mux)));
    {
        ComPtr<IGraphBuilder> graph;
        REQUIRE_HR(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                    graph.PutVoid()));
        ComPtr<TestSource> audio = Source({PcmType()});
        ComPtr<TestSource> video = Source({VideoType()});
        CHECK_HR(graph->AddFilter(audio.Get(), L"audio"));
        CHECK_HR(graph->AddFilter(video.Get(), L"video"));
        CHECK_HR(graph->AddFilter(mux, L"mux"));
        CHECK_HR(graph->AddFilter(writer, L"writer"));
        ComPtr<IFileSinkFilter> fs;
        writer->QueryInterface(IID_IFileSinkFilter, fs.PutVoid());
        CHECK_HR(fs->SetFileName(com::W(pt::WindowsPath(pt::OutputPath("kit-refs.avi"))), nullptr));
        fs = nullptr;
        CHECK_HR(graph->ConnectDirect(&audio->pin, PinNamed(mux, u"Input 01").Get(), nullptr));
        CHECK_HR(graph->ConnectDirect(&video->pin, PinNamed(mux, u"Input 02").Get(), nullptr));
        CHECK_HR(graph->ConnectDirect(PinNamed(mux, u"AVI Out").Get(), PinNamed(writer, u"in").Get(), nullptr));

        // Enumerators and pins handed out hold their filter.
        ComPtr<IEnumPins> pins;
        mux->EnumPins(pins.Put());
        ComPtr<IMediaControl> control;
        REQUIRE_HR(graph->QueryInterface(IID_IMediaControl, control.PutVoid()));
        CHECK(SUCCEEDED(control->Run()));
        CHECK(SUCCEEDED(audio->pin.Deliver(audio->pin.Sample(0, "abcd").Get())));
        CHECK_HR(audio->pin.DeliverEndOfStream());
        CHECK_HR(video->pin.DeliverEndOfStream());
        CHECK_HR(video->pin.DeliverEndOfStream());
        // The graph hears of the end once.
        ComPtr<IMediaEvent> events;
        REQUIRE_HR(graph->QueryInterface(IID_IMediaEvent, events.PutVoid()));
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        int completes = 0;
        // Other events (the clock chosen at the start) come first; the end
        // is posted at once, so none is waited for after it.
        while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, completes ? 0 : 5000))) {
            completes += code == EC_COMPLETE;
            CHECK(code != EC_ERRORABORT);
            events->FreeEventParams(code, p1, p2);
        }
        CHECK_EQ(completes, 1);
        events = nullptr;
        CHECK_HR(control->Stop());
        CHECK_EQ(g_sourcesFreed - sourcesBefore, 0);
        control = nullptr;
        // Only ours and the graph's remain.
        CHECK_HR(graph->RemoveFilter(video.Get()));
        ComPtr<IPin> peer;
        CHECK_HR_EQ(video->pin.ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
    }
    CHECK_EQ(g_sourcesFreed - sourcesBefore, 2);
    CHECK_EQ(g_sinksFreed - sinksBefore, 0);
    CHECK_EQ(mux->Release(), 0u);
    CHECK_EQ(writer->Release(), 0u);
}

WT_TEST(FilterKit, ConnectionsHoldPeersUntilDisconnected) {
    const int before = g_sinksFreed;
    ComPtr<TestSource> src = Source({PcmType()});
    {
        ComPtr<TestSink> sink = Sink(MEDIATYPE_Audio);
        const ULONG alone = wt::RefCountOf(sink.Get());
        REQUIRE_HR(src->pin.Connect(&sink->pin, nullptr));
        CHECK(wt::RefCountOf(sink.Get()) > alone);
        // A refused attempt on a connected pin takes nothing.
        const ULONG connected = wt::RefCountOf(sink.Get());
        CHECK_HR_EQ(src->pin.Connect(&sink->pin, nullptr), VFW_E_ALREADY_CONNECTED);
        CHECK_EQ(wt::RefCountOf(sink.Get()), connected);
        PIN_INFO info{};
        CHECK_HR(sink->pin.QueryPinInfo(&info));
        CHECK(info.pFilter == static_cast<IBaseFilter*>(sink.Get()));
        CHECK_EQ(wt::RefCountOf(sink.Get()), connected + 1);
        info.pFilter->Release();
        CHECK_HR(src->pin.Disconnect());
        CHECK_HR(sink->pin.Disconnect());
        CHECK_EQ(wt::RefCountOf(sink.Get()), alone);
    }
    CHECK_EQ(g_sinksFreed - before, 1);
}

// ---- The kit's memory allocator -------------------------------------------------------------

namespace {

struct BufferWait {
    IMemAllocator* allocator;
    std::atomic<bool> done{false};
    HRESULT hr = E_PENDING;
    IMediaSample* sample = nullptr;
};

DWORD WINAPI WaitForBuffer(void* param) {
    auto* w = static_cast<BufferWait*>(param);
    w->hr = w->allocator->GetBuffer(&w->sample, nullptr, nullptr, 0);
    w->done = true;
    return 0;
}

// Starts a GetBuffer on a thread of its own and checks that it waits.
HANDLE StartWaiting(BufferWait& w) {
    const HANDLE thread = CreateThread(nullptr, 0, &WaitForBuffer, &w, 0, nullptr);
    Sleep(50);
    CHECK(!w.done);
    return thread;
}

void FinishWaiting(HANDLE thread, BufferWait& w) {
    const bool woken = wt::PumpUntil([&] { return w.done.load(); }, 10000);
    CHECK(woken);
    if (!woken) w.allocator->Decommit();  // lets the thread end
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace

WT_TEST(FilterKit, MemAllocatorLendsAFixedPoolAndTakesItBack) {
    ComPtr<IMemAllocator> alloc;
    REQUIRE_HR(dshow::CreateMemAllocator(alloc.Put()));
    ComPtr<IMediaSample> a, b, c;
    CHECK_HR_EQ(alloc->GetBuffer(a.Put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    CHECK_HR_EQ(alloc->Commit(), VFW_E_SIZENOTSET);

    ALLOCATOR_PROPERTIES want{2, 1000, 3, 0}, got{};
    CHECK_HR_EQ(alloc->SetProperties(&want, &got), VFW_E_BADALIGN);
    want.cbAlign = 16;
    want.cbPrefix = 8;
    CHECK_HR(alloc->SetProperties(&want, &got));
    CHECK_EQ(got.cBuffers, 2);
    CHECK_EQ((got.cbBuffer + got.cbPrefix) % 16, 0);
    CHECK(got.cbBuffer >= 1000);
    ALLOCATOR_PROPERTIES now{};
    CHECK_HR(alloc->GetProperties(&now));
    CHECK(now.cBuffers == got.cBuffers && now.cbBuffer == got.cbBuffer && now.cbAlign == 16 && now.cbPrefix == 8);

    CHECK_HR(alloc->Commit());
    CHECK_HR_EQ(alloc->SetProperties(&want, &got), VFW_E_ALREADY_COMMITTED);
    REQUIRE_HR(alloc->GetBuffer(a.Put(), nullptr, nullptr, 0));
    REQUIRE_HR(alloc->GetBuffer(b.Put(), nullptr, nullptr, 0));
    CHECK_HR_EQ(alloc->GetBuffer(c.Put(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    BYTE* data = nullptr;
    CHECK_HR(a->GetPointer(&data));
    CHECK_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
    CHECK_EQ(a->GetSize(), got.cbBuffer);
    CHECK_EQ(a->GetActualDataLength(), got.cbBuffer);

    // What a sample carries, set and read back.
    REFERENCE_TIME start = 100, stop = 200, t0 = 0, t1 = 0;
    CHECK_HR_EQ(a->GetTime(&t0, &t1), VFW_E_SAMPLE_TIME_NOT_SET);
    CHECK_HR(a->SetTime(&start, &stop));
    CHECK_HR(a->GetTime(&t0, &t1));
    CHECK(t0 == 100 && t1 == 200);
    CHECK_HR(a->SetTime(&start, nullptr));
    CHECK_HR_EQ(a->GetTime(&t0, &t1), VFW_S_NO_STOP_TIME);
    CHECK_EQ(t0, 100);
    CHECK_HR_EQ(a->GetMediaTime(&t0, &t1), VFW_E_MEDIA_TIME_NOT_SET);
    CHECK_HR(a->SetMediaTime(&start, &stop));
    CHECK_HR(a->GetMediaTime(&t0, &t1));
    CHECK(t0 == 100 && t1 == 200);
    CHECK_HR(a->SetSyncPoint(TRUE));
    CHECK_HR(a->SetPreroll(TRUE));
    CHECK_HR(a->SetDiscontinuity(TRUE));
    CHECK(a->IsSyncPoint() == S_OK && a->IsPreroll() == S_OK && a->IsDiscontinuity() == S_OK);
    CHECK_EQ(b->IsSyncPoint(), S_FALSE);
    CHECK_HR_EQ(a->SetActualDataLength(got.cbBuffer + 1), VFW_E_BUFFER_OVERFLOW);
    CHECK_HR(a->SetActualDataLength(10));
    CHECK_EQ(a->GetActualDataLength(), 10);
    AM_MEDIA_TYPE* type = nullptr;
    CHECK_HR_EQ(a->GetMediaType(&type), S_FALSE);
    CHECK(type == nullptr);
    MediaType pcm = PcmType();
    CHECK_HR(a->SetMediaType(&pcm.Edit()));
    CHECK_HR(a->GetMediaType(&type));
    REQUIRE(type != nullptr);
    CHECK(type->subtype == MEDIASUBTYPE_PCM && type->cbFormat == sizeof(WAVEFORMATEX) && type->pbFormat != pcm.Get().pbFormat);
    dshow::DeleteMediaType(type);

    // A waiting GetBuffer gets the sample released, with nothing of its last use.
    BufferWait byRelease{alloc.Get()};
    HANDLE thread = StartWaiting(byRelease);
    IMediaSample* const released = a.Get();
    a = nullptr;
    FinishWaiting(thread, byRelease);
    CHECK_HR(byRelease.hr);
    CHECK(byRelease.sample == released);
    if (byRelease.sample) {
        CHECK_HR_EQ(byRelease.sample->GetTime(&t0, &t1), VFW_E_SAMPLE_TIME_NOT_SET);
        CHECK_HR_EQ(byRelease.sample->GetMediaType(&type), S_FALSE);
        CHECK(byRelease.sample->IsSyncPoint() == S_FALSE && byRelease.sample->IsDiscontinuity() == S_FALSE &&
              byRelease.sample->IsPreroll() == S_FALSE);
        a = ComPtr<IMediaSample>::Adopt(byRelease.sample);
    }

    // Decommit wakes a waiter with a failure; the samples out stay usable and
    // the properties stay until they are back.
    BufferWait byDecommit{alloc.Get()};
    thread = StartWaiting(byDecommit);
    CHECK_HR(alloc->Decommit());
    FinishWaiting(thread, byDecommit);
    CHECK_HR_EQ(byDecommit.hr, VFW_E_NOT_COMMITTED);
    CHECK(byDecommit.sample == nullptr);
    CHECK_HR_EQ(alloc->GetBuffer(c.Put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    CHECK_HR_EQ(alloc->SetProperties(&want, &got), VFW_E_BUFFERS_OUTSTANDING);
    CHECK_HR(b->SetActualDataLength(1));
    CHECK_HR_EQ(alloc->ReleaseBuffer(b.Get()), E_INVALIDARG);  // still held
    a = nullptr;
    b = nullptr;
    CHECK_HR(alloc->SetProperties(&want, &got));

    // The last sample out keeps the allocator; nothing is left once all is back.
    CHECK_HR(alloc->Commit());
    REQUIRE_HR(alloc->GetBuffer(a.Put(), nullptr, nullptr, 0));
    alloc = nullptr;
    CHECK_HR(a->SetActualDataLength(5));
    const long objects = com::ModuleLock::Count();
    a = nullptr;
    CHECK_EQ(com::ModuleLock::Count(), objects - 1);
}

namespace {

struct PointerAsk {
    IMediaSample* sample;
    BYTE* data = nullptr;
    HRESULT hr = E_FAIL;
};

DWORD WINAPI AskPointer(void* param) {
    auto* ask = static_cast<PointerAsk*>(param);
    ask->hr = ask->sample->GetPointer(&ask->data);
    return 0;
}

}  // namespace

// A picture put into one of our samples as planes: the planes go on while
// nobody asks for the bytes; the first to ask (two threads at once here)
// gets the RGB the reader itself would have written, and from then on the
// planes are refused, since the bytes may have been changed. A sample back
// in the pool holds the planes no longer.
WT_TEST(FilterKit, PictureSampleMakesItsRgbWhenFirstAskedFor) {
    constexpr int w = 66, h = 38;
    media::FramePtr yuv = media::MakePicture(AV_PIX_FMT_YUV420P, w, h);
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < (plane ? h / 2 : h); ++y)
            for (int x = 0; x < (plane ? w / 2 : w); ++x)
                yuv->data[plane][y * yuv->linesize[plane] + x] = static_cast<uint8_t>(16 + (x * 7 + y * 13 + plane * 60) % 220);
    // The reader's own conversion: into a padded picture, rows copied bottom-up.
    media::FramePtr padded = media::MakePicture(AV_PIX_FMT_BGRA, w, h);
    media::PictureScaler scaler;
    scaler.Scale(*yuv, *padded);
    std::vector<uint8_t> expected(static_cast<size_t>(w) * h * 4);
    media::CopyBottomUp(*padded, expected.data());

    ComPtr<IMemAllocator> alloc;
    REQUIRE_HR(dshow::CreateMemAllocator(alloc.Put()));
    ALLOCATOR_PROPERTIES want{1, w * h * 4, 1, 0}, got{};
    REQUIRE_HR(alloc->SetProperties(&want, &got));
    REQUIRE_HR(alloc->Commit());
    ComPtr<IMediaSample> sample;
    REQUIRE_HR(alloc->GetBuffer(sample.Put(), nullptr, nullptr, 0));
    ComPtr<dshow::IPictureSample> planar;
    REQUIRE_HR(sample.As(dshow::kPictureSampleIid, planar));
    auto picture = [&] { return media::PlanarPicture{media::PixelsOf(*yuv), std::make_shared<media::RgbFromPlanes>(nullptr)}; };

    // Too large for the buffer: refused.
    media::PlanarPicture large{media::PixelsOf(*media::MakePicture(AV_PIX_FMT_YUV420P, w, h + 2)), picture().rgb};
    CHECK_HR_EQ(planar->SetPlanes(std::move(large)), VFW_E_BUFFER_OVERFLOW);
    CHECK_HR(sample->SetActualDataLength(0));
    CHECK_HR(planar->SetPlanes(picture()));
    CHECK_EQ(sample->GetActualDataLength(), w * h * 4);
    media::FramePtr taken = media::MakeFrame();
    CHECK_HR_EQ(planar->TakePlanes(taken.get()), S_OK);
    CHECK(taken->data[0] == yuv->data[0] && taken->data[2] == yuv->data[2]);  // the planes themselves
    CHECK_EQ(taken->pict_type, AV_PICTURE_TYPE_NONE);

    PointerAsk first{sample.Get()}, second{sample.Get()};
    HANDLE threads[2] = {CreateThread(nullptr, 0, AskPointer, &first, 0, nullptr),
                         CreateThread(nullptr, 0, AskPointer, &second, 0, nullptr)};
    REQUIRE(threads[0] && threads[1]);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    CHECK_HR(first.hr);
    CHECK_HR(second.hr);
    REQUIRE(first.data && first.data == second.data);
    CHECK(std::equal(expected.begin(), expected.end(), first.data));
    CHECK_HR_EQ(planar->TakePlanes(taken.get()), S_FALSE);

    // Planes again after the bytes were asked for: the new picture's RGB.
    first.data[0] ^= 0xff;
    CHECK_HR(planar->SetPlanes(picture()));
    CHECK_HR_EQ(planar->TakePlanes(taken.get()), S_OK);
    BYTE* data = nullptr;
    CHECK_HR(sample->GetPointer(&data));
    CHECK(std::equal(expected.begin(), expected.end(), data));

    // Back in the pool: the planes are let go, and the next use has none.
    CHECK_HR(planar->SetPlanes(picture()));
    av_frame_unref(taken.get());
    planar = nullptr;
    sample = nullptr;
    CHECK_EQ(av_buffer_get_ref_count(yuv->buf[0]), 1);
    REQUIRE_HR(alloc->GetBuffer(sample.Put(), nullptr, nullptr, 0));
    REQUIRE_HR(sample.As(dshow::kPictureSampleIid, planar));
    CHECK_HR_EQ(planar->TakePlanes(taken.get()), S_FALSE);
    planar = nullptr;
    sample = nullptr;
    CHECK_HR(alloc->Decommit());
}
