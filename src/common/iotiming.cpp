// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/iotiming.h"

#include <algorithm>
#include <atomic>
#include <sys/resource.h>

namespace iotiming {
namespace {

std::atomic<int> assumedSlow{0};

// The thread's processor time and the times it gave up the processor to wait.
void ThreadUsage(std::chrono::nanoseconds& cpu, int64_t& sleeps) {
    struct rusage usage {};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0) {
        cpu = {};
        sleeps = 0;
        return;
    }
    auto span = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    cpu = span(usage.ru_utime) + span(usage.ru_stime);
    sleeps = usage.ru_nvcsw;
}

} // namespace

unsigned ThreadsToHideLatency(std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu,
                              unsigned processors, unsigned limit) {
    processors = std::max(processors, 1u);
    // The processor time is counted in microseconds: a call below that used hardly any.
    const double used =
        double(std::max(cpu, std::chrono::nanoseconds(std::chrono::microseconds(1))).count());
    const double wanted = double(processors) * double(wall.count()) / used;
    if (wanted >= double(limit))
        return std::max(limit, processors);
    return std::max(processors, unsigned(wanted + 0.999));
}

void CallTimer::Start() {
    wallStart_ = std::chrono::steady_clock::now();
    if (suspect_)
        ThreadUsage(cpuStart_, sleepsAtStart_);
}

unsigned CallTimer::Stop(unsigned processors, unsigned limit) {
    const auto wall = std::chrono::steady_clock::now() - wallStart_;
    if (assumedSlow.load(std::memory_order_relaxed) > 0)
        return std::max(limit, processors);
    unsigned wanted = 0;
    if (suspect_ && wall >= kSlowCall) {
        std::chrono::nanoseconds cpu;
        int64_t sleeps = 0;
        ThreadUsage(cpu, sleeps);
        if (sleeps > sleepsAtStart_)
            wanted = ThreadsToHideLatency(wall, cpu - cpuStart_, processors, limit);
    }
    suspect_ = wall >= kSlowCall;
    return wanted;
}

AssumeSlowDevice::AssumeSlowDevice() {
    ++assumedSlow;
}

AssumeSlowDevice::~AssumeSlowDevice() {
    --assumedSlow;
}

} // namespace iotiming
