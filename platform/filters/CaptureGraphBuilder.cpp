#include "platform/filters/CaptureGraphBuilder.h"

#include "platform/asf/AsfWriter.h"
#include "platform/dshow/Pins.h"
#include "platform/filters/AviMux.h"
#include "platform/filters/FileWriter.h"

namespace plat {

using com::ComPtr;

namespace {

const OutputWriterEntry kWriters[] = {
    {&MEDIASUBTYPE_Avi, &MakeAviWriter},
    {&MEDIASUBTYPE_Asf, &asfw::MakeAsfWriter},
};

// Wine's builder, by its own DLL: the class identifier is ours now.
HRESULT CreateSystemBuilder(ComPtr<ICaptureGraphBuilder2>& out) {
    static HMODULE qcap = LoadLibraryW(L"qcap.dll");  // kept for the process's life
    if (!qcap) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(qcap, "DllGetClassObject")));
    if (!get) return HRESULT_FROM_WIN32(GetLastError());
    ComPtr<IClassFactory> factory;
    HRESULT hr = get(CLSID_CaptureGraphBuilder2, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_ICaptureGraphBuilder2, out.PutVoid());
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (FAILED(filter->EnumPins(pins.Put())) || !pins) return pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == wanted) return pin;
    }
    return nullptr;
}

}  // namespace

HRESULT MakeAviWriter(IGraphBuilder* graph, LPCOLESTR file, IBaseFilter** muxOut, IFileSinkFilter** sinkOut) {
    ComPtr<IBaseFilter> mux, writer;
    ComPtr<IFileSinkFilter> sink;
    HRESULT hr = AviMux::CreateInstance(nullptr, IID_IBaseFilter, mux.PutVoid());
    if (SUCCEEDED(hr)) hr = FileWriter::CreateInstance(nullptr, IID_IBaseFilter, writer.PutVoid());
    if (SUCCEEDED(hr)) hr = writer.As(IID_IFileSinkFilter, sink);
    if (SUCCEEDED(hr)) hr = sink->SetFileName(file, nullptr);
    if (FAILED(hr)) return hr;
    hr = graph->AddFilter(mux.Get(), L"AVI Mux");
    if (FAILED(hr)) return hr;
    hr = graph->AddFilter(writer.Get(), L"File Writer");
    if (SUCCEEDED(hr)) {
        ComPtr<IPin> out = FirstPin(mux.Get(), PINDIR_OUTPUT), in = FirstPin(writer.Get(), PINDIR_INPUT);
        hr = out && in ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_UNEXPECTED;
        if (FAILED(hr)) graph->RemoveFilter(writer.Get());
    }
    if (FAILED(hr)) {
        graph->RemoveFilter(mux.Get());
        return hr;
    }
    if (muxOut) *muxOut = mux.Detach();
    if (sinkOut) *sinkOut = sink.Detach();
    return S_OK;
}

HRESULT CaptureGraphBuilder::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<ICaptureGraphBuilder2> inner;
    const HRESULT hr = CreateSystemBuilder(inner);
    if (FAILED(hr)) return hr;
    return com::CreateAndQuery<CaptureGraphBuilder>(iid, out, std::move(inner));
}

STDMETHODIMP CaptureGraphBuilder::SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                                    IFileSinkFilter** sink) {
    if (mux) *mux = nullptr;
    if (sink) *sink = nullptr;
    if (!type || !file) return E_POINTER;
    for (const auto& entry : kWriters) {
        if (!IsEqualGUID(*type, *entry.subtype)) continue;
        return com::ComGuard([&]() -> HRESULT {
            ComPtr<IGraphBuilder> graph;
            HRESULT hr = m_inner->GetFiltergraph(graph.Put());
            if (FAILED(hr) || !graph) {
                // As the system's builder does: a graph of its own when none was given.
                hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph.PutVoid());
                if (SUCCEEDED(hr)) hr = m_inner->SetFiltergraph(graph.Get());
                if (FAILED(hr)) return hr;
            }
            return entry.make(graph.Get(), file, mux, sink);
        });
    }
    return m_inner->SetOutputFileName(type, file, mux, sink);
}

}  // namespace plat
