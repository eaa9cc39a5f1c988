#include "platform/core/MediaProbe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "platform/core/TrackReader.h"

namespace media {
namespace {

double Seconds(int64_t value, AVRational base) {
    return value == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(value) * av_q2d(base);
}

bool Valid(AVRational r) { return r.num > 0 && r.den > 0; }

// The rate the headers give; 0 when they give none. A "real" rate that is
// only the tick of the time base (1000 in Windows Media files too short for
// FFmpeg to average) is no rate.
double RateOf(const AVStream& s) {
    if (Valid(s.avg_frame_rate)) return av_q2d(s.avg_frame_rate);
    if (Valid(s.r_frame_rate) && av_cmp_q(s.r_frame_rate, av_inv_q(s.time_base)) != 0) return av_q2d(s.r_frame_rate);
    return 0.0;
}

// How many packets the rate measurement reads at most.
constexpr int kRatePackets = 300;
constexpr int kRateStamps = 60;

// The rates of video streams from the time stamps of their first
// pictures: their span over their count; 0 for a stream with fewer than
// two pictures.
std::vector<double> MeasuredRates(Demuxer& demux, const std::vector<int>& streams) {
    std::vector<std::vector<int64_t>> stamps(streams.size());
    PacketPtr packet = MakePacket();
    for (int i = 0; i < kRatePackets && demux.Read(packet.get()); ++i) {
        bool more = false;
        for (size_t k = 0; k < streams.size(); ++k) {
            if (packet->stream_index == streams[k] && packet->pts != AV_NOPTS_VALUE &&
                static_cast<int>(stamps[k].size()) < kRateStamps)
                stamps[k].push_back(packet->pts);
            more = more || static_cast<int>(stamps[k].size()) < kRateStamps;
        }
        av_packet_unref(packet.get());
        if (!more) break;
    }
    std::vector<double> rates(streams.size(), 0.0);
    for (size_t k = 0; k < streams.size(); ++k) {
        std::vector<int64_t>& t = stamps[k];
        if (t.size() < 2) continue;
        std::sort(t.begin(), t.end());
        const double span = static_cast<double>(t.back() - t.front()) * av_q2d(demux.Stream(streams[k])->time_base);
        if (span > 0) rates[k] = av_q2d(RateOfFps(static_cast<double>(t.size() - 1) / span));
    }
    return rates;
}

// Where an AVI stream's data really ends, in seconds, by its index (the
// headers' lengths may claim any number of frames); 0 when unknown.
double IndexedLength(const char* container, const AVStream& s) {
    if (std::strcmp(container, "avi") != 0) return 0.0;
    const int n = avformat_index_get_entries_count(&s);
    const AVIndexEntry* last = n > 0 ? avformat_index_get_entry(const_cast<AVStream*>(&s), n - 1) : nullptr;
    if (!last || last->timestamp < 0) return 0.0;
    return static_cast<double>(last->timestamp + 1) * av_q2d(s.time_base);
}

// A stream that damage made up: nothing can decode it, or "video" with no
// picture size.
bool MadeUp(const AVCodecParameters& par) {
    if (par.codec_type != AVMEDIA_TYPE_VIDEO && par.codec_type != AVMEDIA_TYPE_AUDIO) return false;
    if (par.codec_id == AV_CODEC_ID_NONE || !avcodec_find_decoder(par.codec_id)) return true;
    return par.codec_type == AVMEDIA_TYPE_VIDEO && (par.width <= 0 || par.height <= 0);
}

// MPEG video headers that leave the rate open write the largest value the
// field holds (0x3FFFF units of 400 bit/s): no rate at all.
constexpr int64_t kMpegVariableRate = 0x3FFFFll * 400;

// A video stream whose headers give no rate gets the whole source's rate
// less what the other streams declare; a guess that includes the
// container's overhead, but near what the pictures take.
void EstimateVideoRates(SourceFacts& facts, int64_t sourceRate) {
    if (sourceRate <= 0) return;
    int64_t declared = 0;
    int unknownVideo = 0;
    for (const StreamFacts& s : facts.streams) {
        if (s.kind == StreamFacts::Kind::Video && s.bitRate <= 0) ++unknownVideo;
        else if (s.bitRate > 0) declared += s.bitRate;
    }
    // Shared between several unknown streams the guess would mean nothing.
    if (unknownVideo != 1 || declared >= sourceRate) return;
    for (StreamFacts& s : facts.streams)
        if (s.kind == StreamFacts::Kind::Video && s.bitRate <= 0) s.bitRate = sourceRate - declared;
}

// How far before a poster's time reading starts, in seconds: more than a
// seek is ever off by.
constexpr double kPosterSeekMargin = 5.0;

// Containers whose index takes a seek to the key frame at or before the
// time: reading starts at the time itself, and only the pictures from
// that key frame on are decoded.
bool SeeksByIndex(const SourceOpener& open) {
    Demuxer demux(open());
    const std::string name = demux.FormatName();
    return name == "avi" || name.rfind("mov,", 0) == 0;
}

size_t Stride24(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3); }

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

}  // namespace

SourceFacts ProbeSource(const SourceOpener& open) {
    QuietLibraryLogs();
    Demuxer demux(open());
    SourceFacts facts;
    facts.container = demux.FormatName();
    const double containerLength = demux.Duration() > 0 ? static_cast<double>(demux.Duration()) / AV_TIME_BASE : 0.0;
    std::vector<int> unrated, unratedStreams;  // facts entries and their streams
    for (int i = 0; i < demux.StreamCount(); ++i) {
        const AVStream& s = *demux.Stream(i);
        const AVCodecParameters& par = *s.codecpar;
        if (MadeUp(par)) continue;
        StreamFacts f;
        f.length = Seconds(s.duration, s.time_base);
        if (f.length <= 0.0) f.length = containerLength;
        const double indexed = IndexedLength(facts.container.c_str(), s);
        if (indexed > 0.0 && indexed < f.length) f.length = indexed;
        f.bitRate = par.bit_rate == kMpegVariableRate ? 0 : par.bit_rate;
        if (par.codec_type == AVMEDIA_TYPE_VIDEO && !(s.disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            f.kind = StreamFacts::Kind::Video;
            f.frameRate = RateOf(s);
            if (f.frameRate <= 0.0) {
                unrated.push_back(static_cast<int>(facts.streams.size()));
                unratedStreams.push_back(i);
            }
            f.width = par.width;
            f.height = par.height;
            f.fourcc = par.codec_tag;
        } else if (par.codec_type == AVMEDIA_TYPE_AUDIO) {
            f.kind = StreamFacts::Kind::Audio;
            f.sampleRate = par.sample_rate;
            f.channels = par.ch_layout.nb_channels;
        }
        facts.streams.push_back(f);
    }
    if (!unrated.empty()) {
        const std::vector<double> rates = MeasuredRates(demux, unratedStreams);
        for (size_t k = 0; k < unrated.size(); ++k) facts.streams[static_cast<size_t>(unrated[k])].frameRate = rates[k];
    }
    EstimateVideoRates(facts, demux.BitRate());
    return facts;
}

std::vector<uint8_t> PosterFrame(const SourceOpener& open, double seconds, int width, int height) {
    if (width <= 0 || height <= 0) Fail(ErrorKind::Unsupported, "a poster frame needs a size");
    // From an index's key frame a picture or two are decoded, which
    // decoding threads would only delay; after a margin, many more.
    const bool indexed = SeeksByIndex(open);
    const VideoTarget target{width, height, AVRational{25, 1}, indexed ? 1 : 0};
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    bool got = false;
    // Seeking lands only near a time in some containers (MPEG program
    // streams overshoot by a few frames): start a little before it and
    // decode forward to the picture due at the time. Past the end of the
    // stream, the last picture stands.
    const double wanted = std::max(0.0, seconds);
    const double from = std::max(0.0, wanted - (indexed ? 0.0 : kPosterSeekMargin));
    const int64_t steps = std::llround((wanted - from) * av_q2d(target.rate));
    {
        VideoTrackReader reader(open, target, ClipRange{static_cast<int64_t>(from * AV_TIME_BASE), 0});
        if (!reader.HasSourceStream()) Fail(ErrorKind::NotMedia, "the source has no video");
        // Only the picture due at the time is converted.
        int64_t i = 0;
        while (i < steps && reader.Skip()) ++i;
        got = i == steps && reader.Next(bgra.data());
    }
    if (!got) {
        // A seek past the end gives nothing: the stream's last picture.
        VideoTrackReader reader(open, target, ClipRange{});
        std::vector<uint8_t> frame(bgra.size());
        while (reader.Next(frame.data())) {
            bgra.swap(frame);
            got = true;
        }
    }
    if (!got) Fail(ErrorKind::Corrupt, "no picture could be decoded");

    const size_t stride = Stride24(width);
    std::vector<uint8_t> rows(stride * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = bgra.data() + static_cast<size_t>(y) * width * 4;
        uint8_t* dst = rows.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) std::memcpy(dst + x * 3, src + x * 4, 3);
    }
    return rows;
}

std::vector<uint8_t> BmpFile24(const std::vector<uint8_t>& rows, int width, int height) {
    std::vector<uint8_t> file;
    const uint32_t headers = 14 + 40;
    file.push_back('B');
    file.push_back('M');
    Put32(file, static_cast<uint32_t>(headers + rows.size()));
    Put32(file, 0);
    Put32(file, headers);
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(width));
    Put32(file, static_cast<uint32_t>(height));  // positive: bottom-up rows
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, 0);
    Put32(file, static_cast<uint32_t>(rows.size()));
    Put32(file, 2835);
    Put32(file, 2835);
    Put32(file, 0);
    Put32(file, 0);
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

}  // namespace media
