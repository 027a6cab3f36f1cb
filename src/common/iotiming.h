// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Telling calls that wait for a slow device (a network share, a USB stick) from calls that
// keep a processor busy, so that blocking file work is spread over as many threads as hide
// the device's latency, and over no more than the processors where the files are at hand.

#include <chrono>
#include <cstdint>

namespace iotiming {

// A call quicker than this is not looked at: work on local, cached files takes microseconds.
constexpr std::chrono::nanoseconds kSlowCall = std::chrono::microseconds(200);

// The threads that keep processors busy with calls that take wall time, cpu of it on a
// processor and the rest waiting: processors × wall / cpu, at least processors, at most limit.
unsigned ThreadsToHideLatency(std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu,
                              unsigned processors, unsigned limit);

// Times a series of calls on one thread. A slow call alone says nothing (the thread may just
// have been preempted on a busy machine), so after one the next call is also timed on the
// processor and counted for the times it went to sleep of its own accord: a call that slept
// and was slow waited for its device. Fast calls cost two reads of the clock.
class CallTimer {
public:
    void Start();
    // After the call: the threads wanted (ThreadsToHideLatency) when it waited for its
    // device, otherwise 0.
    unsigned Stop(unsigned processors, unsigned limit);

private:
    bool suspect_ = false;
    std::chrono::steady_clock::time_point wallStart_;
    std::chrono::nanoseconds cpuStart_{0};
    int64_t sleepsAtStart_ = 0;
};

// While one lives, every timed call counts as one that waited for its device, so that tests
// can take the many-thread paths on a local disk.
class AssumeSlowDevice {
public:
    AssumeSlowDevice();
    ~AssumeSlowDevice();
    AssumeSlowDevice(const AssumeSlowDevice&) = delete;
    AssumeSlowDevice& operator=(const AssumeSlowDevice&) = delete;
};

} // namespace iotiming
