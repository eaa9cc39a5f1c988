// The AVI multiplexer (the CLSID_AviDest role): any number of video and
// audio inputs (a new free input after each connection), one output that
// writes the file through the downstream pin's IStream (our file writer).
// The file is written with FFmpeg's AVI muxer: header at pause, packets as
// they arrive (the inputs are kept within half a second of each other),
// index and trailer at the end of all streams or at stop, so a conversion
// stopped mid-way leaves a readable file. IMediaSeeking: the position is
// the media time written, the duration the one known upstream.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/Muxer.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/Seeking.h"

namespace plat {

class MuxInputPin;
class MuxOutputPin;
class StreamSink;

class AviMux final : public dshow::BaseFilter, public dshow::SeekingBase {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);
    AviMux();

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
        COM_QI(IMediaSeeking)
    COM_END_QI()

    // Called by the pins.
    void OnInputConnected();
    void OnInputDisconnected() { m_duration = 0; }
    HRESULT Write(MuxInputPin& pin, IMediaSample* sample);
    HRESULT EndOfStream(MuxInputPin& pin);

protected:
    size_t PinCount() override;
    dshow::BasePin* PinAt(size_t index) override;
    HRESULT OnActivate() override;
    void OnDeactivate() override;
    HRESULT ReadDuration(LONGLONG* duration) override;
    HRESULT ReadPosition(LONGLONG* position) override;


private:
    ~AviMux() override;
    // Waits while this input is too far ahead of the others.
    void WaitForTurn(std::unique_lock<std::mutex>& lock, MuxInputPin& pin, REFERENCE_TIME start);
    bool AllEnded() const;
    void FinishLocked();

    std::unique_ptr<MuxOutputPin> m_output;
    std::vector<std::unique_ptr<MuxInputPin>> m_inputs;

    std::mutex m_mux;  // the muxer, the inputs' times and flags below
    std::condition_variable m_turn;
    std::unique_ptr<StreamSink> m_sink;
    std::unique_ptr<media::Muxer> m_muxer;
    bool m_stopping = false;
    bool m_finished = false;
    HRESULT m_failure = S_OK;
    std::atomic<long long> m_duration{0};  // found upstream; 0: ask again
};

}  // namespace plat
