// What every benchmark under Wine needs: wall time, and file names between
// Wine's and the Unix side's.
#pragma once

#include <chrono>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since);
std::string UnixPath(const std::u16string& dosPath);
std::u16string DosPath(const std::string& unixPath);

}  // namespace bench
