// The render engine (CLSID_RenderEngine): turns a timeline into the front
// end of a filter graph. ConnectFrontEnd creates the graph (unless one was
// given) and adds a source filter with one output pin per group, in group
// order: a video group's pin gives bottom-up RGB32 at the group's size and
// output rate, an audio group's pin 16-bit PCM (44100 Hz stereo unless the
// group's type names a PCM format). Each group plays its first track's
// first source; a source that cannot be opened fails ConnectFrontEnd with
// the reason (the graph is then not handed out). A second ConnectFrontEnd
// builds the front end again from the timeline as it is then, in the same
// graph. ScrapIt removes every filter from the graph and lets the graph go.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <vector>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "platform/include/EditingServices.h"

namespace plat {

class TimelineSource;

class RenderEngine final : public com::ComObjectRoot, public IRenderEngine {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IRenderEngine)
    COM_END_QI()

    STDMETHODIMP SetTimelineObject(IAMTimeline* timeline) override;
    STDMETHODIMP GetTimelineObject(IAMTimeline** timeline) override;
    STDMETHODIMP GetFilterGraph(IGraphBuilder** graph) override;
    STDMETHODIMP SetFilterGraph(IGraphBuilder* graph) override;
    STDMETHODIMP SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP SetInterestRange2(double, double) override { return E_NOTIMPL; }
    STDMETHODIMP SetRenderRange(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP SetRenderRange2(double, double) override { return E_NOTIMPL; }
    STDMETHODIMP GetGroupOutputPin(LONG group, IPin** pin) override;
    STDMETHODIMP ScrapIt() override;
    STDMETHODIMP RenderOutputPins() override { return E_NOTIMPL; }
    STDMETHODIMP GetVendorString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectFrontEnd() override;
    STDMETHODIMP SetSourceConnectCallback(IUnknown*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDynamicReconnectLevel(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP DoSmartRecompression() override { return E_NOTIMPL; }
    STDMETHODIMP UseInSmartRecompressionGraph() override { return E_NOTIMPL; }
    STDMETHODIMP SetSourceNameValidation(BSTR, IMediaLocator*, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP Commit() override { return E_NOTIMPL; }
    STDMETHODIMP Decommit() override { return E_NOTIMPL; }
    STDMETHODIMP GetCaps(LONG, LONG*) override { return E_NOTIMPL; }

    RenderEngine() = default;

private:
    ~RenderEngine() override;
    HRESULT BuildFrontEnd();
    // Takes the built front end out of the graph; the pins it fed, by group.
    std::vector<com::ComPtr<IPin>> TakeDownFrontEnd();

    com::ComPtr<IAMTimeline> m_timeline;
    com::ComPtr<IGraphBuilder> m_graph;
    com::ComPtr<IBaseFilter> m_source;
    TimelineSource* m_sourceFilter = nullptr;  // m_source's object
    bool m_graphGiven = false;
    HRESULT m_frontEndResult = S_OK;
};

}  // namespace plat
