// The capture graph builder as the engine creates it (CLSID_CaptureGraphBuilder2):
// Wine's own builder does the work, reached through qcap.dll's class
// factory, except SetOutputFileName, which Wine lacks. For AVI it adds our
// multiplexer and file writer, connects them and returns the multiplexer;
// other output types are looked up in a table that later writers join.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"

namespace plat {

// Makes the multiplexer/writer pair for one output subtype: adds it to
// the graph and returns the filter the caller connects to, and the sink.
using OutputWriterMaker = HRESULT (*)(IGraphBuilder* graph, LPCOLESTR file, IBaseFilter** first,
                                      IFileSinkFilter** sink);
struct OutputWriterEntry {
    const GUID* subtype;
    OutputWriterMaker make;
};

HRESULT MakeAviWriter(IGraphBuilder* graph, LPCOLESTR file, IBaseFilter** mux, IFileSinkFilter** sink);

class CaptureGraphBuilder final : public com::ComObjectRoot, public ICaptureGraphBuilder2 {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(ICaptureGraphBuilder2)
    COM_END_QI()

    STDMETHODIMP SetFiltergraph(IGraphBuilder* graph) override { return m_inner->SetFiltergraph(graph); }
    STDMETHODIMP GetFiltergraph(IGraphBuilder** graph) override { return m_inner->GetFiltergraph(graph); }
    STDMETHODIMP SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                   IFileSinkFilter** sink) override;
    STDMETHODIMP FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                               void** out) override {
        return m_inner->FindInterface(category, type, filter, iid, out);
    }
    STDMETHODIMP RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* compressor,
                              IBaseFilter* renderer) override {
        return m_inner->RenderStream(category, type, source, compressor, renderer);
    }
    STDMETHODIMP ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                               REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override {
        return m_inner->ControlStream(category, type, filter, start, stop, startCookie, stopCookie);
    }
    STDMETHODIMP AllocCapFile(LPCOLESTR file, DWORDLONG size) override { return m_inner->AllocCapFile(file, size); }
    STDMETHODIMP CopyCaptureFile(LPOLESTR from, LPOLESTR to, int allowAbort,
                                 IAMCopyCaptureFileProgress* progress) override {
        return m_inner->CopyCaptureFile(from, to, allowAbort, progress);
    }
    STDMETHODIMP FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type,
                         BOOL unconnected, int index, IPin** pin) override {
        return m_inner->FindPin(source, dir, category, type, unconnected, index, pin);
    }

    explicit CaptureGraphBuilder(com::ComPtr<ICaptureGraphBuilder2> inner) : m_inner(std::move(inner)) {}

private:
    ~CaptureGraphBuilder() override = default;
    com::ComPtr<ICaptureGraphBuilder2> m_inner;
};

}  // namespace plat
