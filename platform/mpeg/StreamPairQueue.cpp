#include "platform/mpeg/StreamPairQueue.h"

#include <chrono>
#include <utility>

namespace mpegenc {

StreamPairQueue::StreamPairQueue(size_t videoCapacity, size_t audioCapacity, int64_t skew, int stallMs)
    : m_skew(skew), m_stallMs(stallMs) {
    m_lanes[kVideoStream].capacity = videoCapacity > 0 ? videoCapacity : 1;
    m_lanes[kAudioStream].capacity = audioCapacity > 0 ? audioCapacity : 1;
}

void StreamPairQueue::Reset(bool videoActive, bool audioActive) {
    std::lock_guard<std::mutex> lock(m_lock);
    for (Lane& lane : m_lanes) {
        lane.chunks.clear();
        lane.lastTaken = 0;
    }
    m_lanes[kVideoStream].ended = !videoActive;
    m_lanes[kAudioStream].ended = !audioActive;
    m_aborted = false;
    ++m_changes;
    m_changed.notify_all();
}

bool StreamPairQueue::Push(Chunk&& chunk) {
    if (chunk.stream != kVideoStream && chunk.stream != kAudioStream) return false;
    std::unique_lock<std::mutex> lock(m_lock);
    Lane& lane = m_lanes[chunk.stream];
    m_changed.wait(lock, [&] { return m_aborted || lane.ended || !lane.Full(); });
    if (m_aborted || lane.ended) return false;
    lane.chunks.push_back(std::move(chunk));
    ++m_changes;
    m_changed.notify_all();
    return true;
}

void StreamPairQueue::EndOfStream(int stream) {
    if (stream != kVideoStream && stream != kAudioStream) return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_lanes[stream].ended = true;
    ++m_changes;
    m_changed.notify_all();
}

void StreamPairQueue::Abort() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_aborted = true;
    m_changed.notify_all();
}

int StreamPairQueue::Ready() const {
    for (int lane : {kVideoStream, kAudioStream}) {
        const Lane& self = m_lanes[lane];
        const Lane& other = m_lanes[1 - lane];
        if (self.chunks.empty()) continue;
        const int64_t t = self.chunks.front().time;
        if (!other.chunks.empty()) {
            if (t <= other.chunks.front().time) return lane;
        } else if (other.ended || t <= other.lastTaken + m_skew) {
            return lane;
        }
    }
    return -1;
}

int StreamPairQueue::StalledLane() const {
    for (int lane : {kVideoStream, kAudioStream}) {
        const Lane& other = m_lanes[1 - lane];
        if (m_lanes[lane].Full() && other.chunks.empty() && !other.ended) return lane;
    }
    return -1;
}

StreamPairQueue::Take StreamPairQueue::TakeFrom(int lane, Chunk& out) {
    Lane& l = m_lanes[lane];
    out = std::move(l.chunks.front());
    l.chunks.pop_front();
    l.lastTaken = out.time;
    m_changed.notify_all();
    return Take::Chunk;
}

StreamPairQueue::Take StreamPairQueue::Pop(Chunk& out) {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        if (m_aborted) return Take::Aborted;
        const int lane = Ready();
        if (lane >= 0) return TakeFrom(lane, out);
        const Lane& v = m_lanes[kVideoStream];
        const Lane& a = m_lanes[kAudioStream];
        if (v.ended && a.ended && v.chunks.empty() && a.chunks.empty()) return Take::Finished;
        const int stalled = StalledLane();
        if (stalled < 0) {
            m_changed.wait(lock);
            continue;
        }
        // The producer of the full lane may be the one that would feed the
        // other: if nothing moves for a moment, go on with what there is.
        const uint64_t seen = m_changes;
        if (!m_changed.wait_for(lock, std::chrono::milliseconds(m_stallMs),
                                [&] { return m_aborted || m_changes != seen; }))
            return TakeFrom(stalled, out);
    }
}

}  // namespace mpegenc
