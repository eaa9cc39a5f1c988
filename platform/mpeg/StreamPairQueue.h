// The hand-over between the encoder filter's two input pins and its one
// encoding thread. Each stream has a bounded queue; the thread takes the
// earlier of the two heads, so the file is written in time order. A stream
// runs on alone only within a time skew of the other (or once the other has
// ended), which bounds what the multiplexer must buffer when two threads
// feed the pins. When one thread feeds both pins and stalls on a full
// queue, that queue is taken alone after a short wait, so it never
// deadlocks. Plain C++.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace mpegenc {

enum StreamIndex : int { kVideoStream = 0, kAudioStream = 1 };

struct Chunk {
    int stream = kVideoStream;
    int64_t time = 0;  // media time of the start, 100 ns units
    int slots = 1;     // video: coded frames this picture fills
    std::vector<uint8_t> bytes;
};

class StreamPairQueue {
public:
    enum class Take { Chunk, Finished, Aborted };

    // capacity: chunks each stream may hold before its producer waits;
    // skew: how far (100 ns units) one stream may run ahead of the other.
    explicit StreamPairQueue(size_t videoCapacity = 4, size_t audioCapacity = 32, int64_t skew = 10000000,
                             int stallMs = 50);

    // Starts over; a stream that is not active counts as ended.
    void Reset(bool videoActive, bool audioActive);
    // Waits while the stream's queue is full; false once aborted or ended.
    bool Push(Chunk&& chunk);
    void EndOfStream(int stream);
    // Wakes every waiter; Push and Pop fail until the next Reset.
    void Abort();

    // Waits for the next chunk by the rule above.
    Take Pop(Chunk& out);

private:
    struct Lane {
        std::deque<Chunk> chunks;
        size_t capacity = 0;
        bool ended = false;
        int64_t lastTaken = 0;
        bool Full() const { return chunks.size() >= capacity; }
    };
    // Which lane the consumer may take from now, or -1.
    int Ready() const;
    // A full lane whose partner is empty and still open, or -1.
    int StalledLane() const;
    Take TakeFrom(int lane, Chunk& out);

    std::mutex m_lock;
    std::condition_variable m_changed;
    Lane m_lanes[2];
    bool m_aborted = false;
    uint64_t m_changes = 0;  // pushes and ends, to tell a stall from progress
    int64_t m_skew;
    int m_stallMs;
};

}  // namespace mpegenc
