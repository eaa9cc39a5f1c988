// Marks along the start of a conversion, sent to the debugger output (never
// seen by users): each stage says once per run when it got to its first
// sample, so that a debugger, or a tool watching the debugger output, can
// time the start step by step. After its first, a mark costs one atomic
// load per sample.
#pragma once

#include <atomic>
#include <string>
#include <utility>

namespace dshow {

// Every mark's text starts with this.
constexpr char kStartMarkPrefix[] = "start mark: ";

void SendStartMark(const std::string& stage);

class FirstMark {
public:
    explicit FirstMark(std::string stage) : m_stage(std::move(stage)) {}

    // Sends the mark the first time after construction or Rearm.
    void Hit() {
        if (!m_sent.load(std::memory_order_relaxed) && !m_sent.exchange(true)) SendStartMark(m_stage);
    }
    void Rearm() { m_sent = false; }

private:
    std::string m_stage;
    std::atomic<bool> m_sent{false};
};

}  // namespace dshow
