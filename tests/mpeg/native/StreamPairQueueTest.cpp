#include "platform/mpeg/StreamPairQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace mpegenc;

namespace {

Chunk Make(int stream, int64_t time) {
    Chunk c;
    c.stream = stream;
    c.time = time;
    return c;
}

// Pops until the queue finishes; returns (stream, time) in order taken.
std::vector<std::pair<int, int64_t>> Drain(StreamPairQueue& q) {
    std::vector<std::pair<int, int64_t>> out;
    Chunk c;
    while (q.Pop(c) == StreamPairQueue::Take::Chunk) out.emplace_back(c.stream, c.time);
    return out;
}

// Runs f on a detached thread; its result comes through the future.
template <class F>
auto Detached(F f) -> std::future<decltype(f())> {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    std::thread(std::move(task)).detach();
    return result;
}

}  // namespace

TEST(StreamPairQueue, TakesTheEarlierHeadAndFinishesAfterBothEnd) {
    StreamPairQueue q(8, 8);
    q.Reset(true, true);
    for (int64_t t : {0, 40, 80}) ASSERT_TRUE(q.Push(Make(kVideoStream, t)));
    for (int64_t t : {0, 30, 60, 90}) ASSERT_TRUE(q.Push(Make(kAudioStream, t)));
    q.EndOfStream(kVideoStream);
    q.EndOfStream(kAudioStream);
    const std::vector<std::pair<int, int64_t>> expected = {
        {0, 0}, {1, 0}, {1, 30}, {0, 40}, {1, 60}, {0, 80}, {1, 90}};
    EXPECT_EQ(Drain(q), expected);
    Chunk c;
    EXPECT_EQ(q.Pop(c), StreamPairQueue::Take::Finished);
}

TEST(StreamPairQueue, AnInactiveStreamNeverHoldsTheOtherBack) {
    StreamPairQueue q(2, 2);
    q.Reset(true, false);
    ASSERT_TRUE(q.Push(Make(kVideoStream, 0)));
    Chunk c;
    ASSERT_EQ(q.Pop(c), StreamPairQueue::Take::Chunk);
    EXPECT_FALSE(q.Push(Make(kAudioStream, 0)));  // ended streams take nothing
    q.EndOfStream(kVideoStream);
    EXPECT_EQ(q.Pop(c), StreamPairQueue::Take::Finished);
}

TEST(StreamPairQueue, OneThreadFeedingBothStreamsNeverDeadlocks) {
    // All video first, then all audio, from one thread: the full video
    // queue must be taken alone after a short stall.
    StreamPairQueue q(3, 3, 0, 1);
    q.Reset(true, true);
    std::thread producer([&] {
        for (int i = 0; i < 50; ++i) q.Push(Make(kVideoStream, i * 40));
        q.EndOfStream(kVideoStream);
        for (int i = 0; i < 50; ++i) q.Push(Make(kAudioStream, i * 40));
        q.EndOfStream(kAudioStream);
    });
    const auto got = Drain(q);
    producer.join();
    EXPECT_EQ(got.size(), 100u);
}

TEST(StreamPairQueue, TwoThreadsStayWithinTheSkew) {
    constexpr int64_t kSkew = 4000000;  // 0.4 s
    // A stall is only taken as one after a minute: a loaded machine may
    // hold the video thread back for a while, and the full audio queue must
    // still wait for it rather than run on alone.
    StreamPairQueue q(2, 4, kSkew, 60000);
    q.Reset(true, true);
    std::thread video([&] {
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            q.Push(Make(kVideoStream, i * 400000LL));
        }
        q.EndOfStream(kVideoStream);
    });
    std::thread audio([&] {
        for (int i = 0; i < 400; ++i) q.Push(Make(kAudioStream, i * 100000LL));  // races ahead
        q.EndOfStream(kAudioStream);
    });
    int64_t lastVideo = 0, worstLead = 0;
    Chunk c;
    int taken = 0;
    while (q.Pop(c) == StreamPairQueue::Take::Chunk) {
        ++taken;
        if (c.stream == kVideoStream) lastVideo = c.time;
        else worstLead = std::max(worstLead, c.time - lastVideo);
    }
    video.join();
    audio.join();
    EXPECT_EQ(taken, 500);
    EXPECT_LE(worstLead, kSkew);
}

TEST(StreamPairQueue, AbortWakesProducerAndConsumer) {
    using namespace std::chrono_literals;
    // Each waiter runs on a thread the test never joins and holds its queue,
    // so a waiter that Abort fails to wake fails the test instead of hanging it.
    auto full = std::make_shared<StreamPairQueue>(1, 1);
    full->Reset(true, true);
    ASSERT_TRUE(full->Push(Make(kVideoStream, 0)));
    auto empty = std::make_shared<StreamPairQueue>(1, 1);
    empty->Reset(true, true);
    std::future<bool> pushed = Detached([full] { return full->Push(Make(kVideoStream, 40)); });
    std::future<StreamPairQueue::Take> taken = Detached([empty] {
        Chunk c;
        return empty->Pop(c);
    });
    // Both wait while nothing changes.
    EXPECT_EQ(pushed.wait_for(50ms), std::future_status::timeout);
    EXPECT_EQ(taken.wait_for(0ms), std::future_status::timeout);
    full->Abort();
    empty->Abort();
    ASSERT_EQ(pushed.wait_for(10s), std::future_status::ready) << "Abort did not wake the producer";
    ASSERT_EQ(taken.wait_for(10s), std::future_status::ready) << "Abort did not wake the consumer";
    EXPECT_FALSE(pushed.get());
    EXPECT_EQ(taken.get(), StreamPairQueue::Take::Aborted);
    Chunk c;
    EXPECT_EQ(full->Pop(c), StreamPairQueue::Take::Aborted);
    full->Reset(true, true);
    EXPECT_TRUE(full->Push(Make(kVideoStream, 0)));
}
