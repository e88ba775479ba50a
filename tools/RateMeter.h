// A rate read from a running count: the count is sampled as often as the caller likes, and the
// rate is renewed from the samples once each stretch of at least `stretch` ends, so a figure on
// screen holds still long enough to be read and falls to 0 when the count stops.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace quarvo::tool {

class RateMeter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateMeter(Clock::duration stretch = std::chrono::milliseconds(500)) : m_stretch(stretch) {}

    // Takes the count at that time; returns whether the rate was renewed.
    bool Sample(uint64_t count, Clock::time_point now);
    // Per second over the last complete stretch; nothing before the first one ends.
    std::optional<double> Rate() const { return m_rate; }

private:
    Clock::duration m_stretch;
    std::optional<Clock::time_point> m_start;
    uint64_t m_startCount = 0;
    std::optional<double> m_rate;
};

}  // namespace quarvo::tool
