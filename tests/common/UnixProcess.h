// Child processes and CPU accounting, on the Unix side, for the tests'
// clips and the benchmarks. Kept apart from the Win32 headers: Wine's winsock declares its own
// struct timeval, which would shrink struct rusage and let the C library
// write past it.
#pragma once

#include <string>
#include <vector>

namespace unixproc {

struct ProcessRun {
    int exitCode = -1;
    double wall = 0;    // seconds
    double cpu = 0;     // user and system seconds of the process
    double peakMb = 0;  // its largest resident size
};

// Runs a program (searched on PATH) with stdin from /dev/null and stdout
// and stderr into a file (empty: this process's own), and reaps it with
// its own resource accounting. exitCode is -1 when it could not start or
// did not exit.
ProcessRun Spawn(const std::vector<std::string>& argv, const std::string& output = "/dev/null");

// User and system seconds of this process, every thread.
double SelfCpu();

}  // namespace unixproc
