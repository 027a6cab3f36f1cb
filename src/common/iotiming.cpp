// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/iotiming.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sys/resource.h>
#include <unordered_map>
#include <utility>

namespace iotiming {
namespace {

std::atomic<int> assumedSlow{0};

// The thread's processor time and the device's sign of waiting: for a disk the blocks the
// thread read from it, for a remote file system the times it gave up the processor to wait.
void ThreadUsage(DeviceKind kind, std::chrono::nanoseconds& cpu, int64_t& sign) {
    struct rusage usage {};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0) {
        cpu = {};
        sign = 0;
        return;
    }
    auto span = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    cpu = span(usage.ru_utime) + span(usage.ru_stime);
    sign = kind == DeviceKind::Disk ? usage.ru_inblock : usage.ru_nvcsw;
}

// The devices seen waiting in this process, with the threads their calls wanted last.
struct WaitingDevices {
    std::mutex mutex;
    std::unordered_map<uint64_t, unsigned> threads;
};

WaitingDevices& Waiting() {
    static WaitingDevices devices;
    return devices;
}

// Records device id as waiting, with the threads a call of wall time and cpu of it wants, and
// returns them within limit. The record is not bound by the limit of whoever saw the wait (the
// search's lookups want fewer threads than the reading of files): each caller asks within its
// own.
unsigned SeenWaiting(uint64_t id, std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu,
                     unsigned processors, unsigned limit) {
    constexpr unsigned kMostRecorded = 1u << 16;
    const unsigned wanted = ThreadsToHideLatency(wall, cpu, processors, kMostRecorded);
    WaitingDevices& waiting = Waiting();
    const std::lock_guard lock(waiting.mutex);
    waiting.threads[id] = wanted;
    return std::min(wanted, std::max(limit, processors));
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

unsigned ThreadsSeenWanting(const Device& device, unsigned processors, unsigned limit) {
    if (assumedSlow.load(std::memory_order_relaxed) > 0)
        return std::max(limit, processors);
    if (device.kind == DeviceKind::Local)
        return 0;
    WaitingDevices& waiting = Waiting();
    const std::lock_guard lock(waiting.mutex);
    const auto seen = waiting.threads.find(device.id);
    return seen == waiting.threads.end() ? 0 : std::min(seen->second, std::max(limit, processors));
}

void CallTimer::Start() {
    if (device_.kind == DeviceKind::Local)
        return;
    wallStart_ = std::chrono::steady_clock::now();
    if (measuring_)
        ThreadUsage(device_.kind, cpuStart_, signAtStart_);
}

unsigned CallTimer::Stop(unsigned processors, unsigned limit) {
    if (assumedSlow.load(std::memory_order_relaxed) > 0)
        return std::max(limit, processors);
    if (device_.kind == DeviceKind::Local)
        return 0;
    const auto wall = std::chrono::steady_clock::now() - wallStart_;
    if (std::exchange(first_, false)) {
        if (const unsigned seen = ThreadsSeenWanting(device_, processors, limit); seen > 0) {
            waits_ = kWaitsToConfirm;
            return seen;
        }
    }
    const bool slow = wall >= kSlowCall;
    unsigned wanted = 0;
    if (!slow) {
        waits_ = 0;
    } else if (measuring_) {
        std::chrono::nanoseconds cpu;
        int64_t sign = 0;
        ThreadUsage(device_.kind, cpu, sign);
        if (sign > signAtStart_) {
            lastPassed_ = 0;
            waits_ = wall >= kLongWait ? kWaitsToConfirm : waits_ + 1;
            if (waits_ >= kWaitsToConfirm)
                wanted = SeenWaiting(device_.id, wall, cpu - cpuStart_, processors, limit);
        } else {
            waits_ = 0;
            lastPassed_ = std::min(std::max(2 * lastPassed_, 1u), kMaxPassedOver);
            passOver_ = lastPassed_;
        }
    } else if (passOver_ > 0) {
        --passOver_;
        return 0;
    }
    measuring_ = slow && passOver_ == 0;
    return wanted;
}

unsigned CallTimer::Midway(unsigned processors, unsigned limit) const {
    if (assumedSlow.load(std::memory_order_relaxed) > 0)
        return std::max(limit, processors);
    if (device_.kind == DeviceKind::Local || waits_ >= kWaitsToConfirm)
        return 0; // nothing to tell, or told by the calls before
    if (first_)
        if (const unsigned seen = ThreadsSeenWanting(device_, processors, limit); seen > 0)
            return seen;
    const auto wall = std::chrono::steady_clock::now() - wallStart_;
    if (!measuring_ || wall < kLongWait)
        return 0;
    std::chrono::nanoseconds cpu;
    int64_t sign = 0;
    ThreadUsage(device_.kind, cpu, sign);
    if (sign <= signAtStart_)
        return 0;
    return SeenWaiting(device_.id, wall, cpu - cpuStart_, processors, limit);
}

AssumeSlowDevice::AssumeSlowDevice() {
    ++assumedSlow;
}

AssumeSlowDevice::~AssumeSlowDevice() {
    --assumedSlow;
}

} // namespace iotiming
