// Child processes and CPU accounting of the benchmark, on the Unix side.
// Kept apart from the Win32 headers: Wine's winsock declares its own
// struct timeval, which would shrink struct rusage and let the C library
// write past it.
#pragma once

#include <string>
#include <vector>

namespace convbench {

struct ProcessRun {
    int exitCode = -1;
    double wall = 0;    // seconds
    double cpu = 0;     // user and system seconds of the process
    double peakMb = 0;  // its largest resident size
};

// Runs a program (searched on PATH) with stdin from /dev/null and stdout
// and stderr into a file, and reaps it with its own resource accounting.
ProcessRun Spawn(const std::vector<std::string>& argv, const std::string& output = "/dev/null");

// User and system seconds of this process, every thread.
double SelfCpu();

}  // namespace convbench
