#pragma once
// What the operating system has charged this process so far: CPU seconds
// (user + system) and the peak resident set.
#include <sys/resource.h>

struct ProcessUsage {
    double cpuSeconds = 0;
    long peakResidentKiB = 0;

    static ProcessUsage Now()
    {
        rusage r{};
        getrusage(RUSAGE_SELF, &r);
        ProcessUsage u;
        u.cpuSeconds = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                       static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
        u.peakResidentKiB = r.ru_maxrss;  // KiB on Linux
        return u;
    }
};
