// The front end the render engine builds: a source filter with one output
// pin per timeline group, pushing that group's stream decoded and
// converted (video: bottom-up RGB32 at the group's size and rate; audio:
// 16-bit PCM), black or silent where the source lacks the stream.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <memory>
#include <vector>

#include "platform/core/TrackReader.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"

namespace plat {

struct SourceGroup {
    bool video = true;
    media::VideoTarget videoTarget;
    media::AudioTarget audioTarget;
    media::SourceOpener open;  // empty: black frames or silence only
    media::ClipRange range;    // the part of the source read
    REFERENCE_TIME length = 0; // output length
};

// The pin's media type for a group.
dshow::MediaType MediaTypeOf(const SourceGroup& group);

class SourcePin;

class TimelineSource final : public dshow::BaseFilter {
public:
    static HRESULT Create(std::vector<SourceGroup> groups, TimelineSource** out);

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
    COM_END_QI()

    IPin* Pin(size_t index);
    size_t GroupCount() const { return m_pins.size(); }

protected:
    size_t PinCount() override { return m_pins.size(); }
    dshow::BasePin* PinAt(size_t index) override;

private:
    TimelineSource();
    ~TimelineSource() override;
    std::vector<std::unique_ptr<SourcePin>> m_pins;
};

}  // namespace plat
