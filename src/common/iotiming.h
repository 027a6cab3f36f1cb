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
// Calls in a row that must each be slow and show the device's sign of waiting before the
// device counts as waiting: one such call may be a thread preempted, or asleep on a lock,
// while the machine is busy.
constexpr int kWaitsToConfirm = 3;
// A call this long that showed the sign confirms the wait by itself: no busy machine keeps a
// thread off its processor that long, nor does a lock in the reader, while a file on a share
// at 300 ms a request takes over a second, and waiting for three of them a thread held a
// listing of 100 files back by 4.5 s.
constexpr std::chrono::nanoseconds kLongWait = std::chrono::milliseconds(50);
constexpr unsigned kMaxPassedOver = 64;

// What the kernel says of the device that holds the files, which decides how calls are
// watched.
enum class DeviceKind {
    Local,  // memory, a solid-state disk, anything not below: calls are not even timed
    Disk,   // a disk that turns or can be removed: a slow call that read blocks from it waited
    Remote, // a network or FUSE file system: a slow call that went to sleep waited for its answer
};
struct Device {
    DeviceKind kind = DeviceKind::Local;
    uint64_t id = 0; // st_dev: a device seen waiting once is taken to wait from then on
};

// The threads that keep processors busy with calls that take wall time, cpu of it on a
// processor and the rest waiting: processors × wall / cpu, at least processors, at most limit.
unsigned ThreadsToHideLatency(std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu,
                              unsigned processors, unsigned limit);

// The threads the calls of device wanted when it was last seen waiting in this process, within
// processors and limit as ThreadsToHideLatency; 0 for a device never seen waiting.
unsigned ThreadsSeenWanting(const Device& device, unsigned processors, unsigned limit);

// Times a series of calls on one thread, on one device. The first call and each one after a
// slow call are also timed on the processor and counted for the device's sign of waiting
// (blocks read from a disk; sleeps on a remote file system); kWaitsToConfirm slow calls in a
// row with that sign, or one of kLongWait, show the device waiting. A slow call without the sign
// makes the timer look again only after twice as many slow calls as the last time (at most
// kMaxPassedOver), so that a machine where every call is slow (busy, or traced) does not pay for
// the looking on every call. Calls on a local device cost nothing, fast calls two reads of the
// clock.
class CallTimer {
public:
    explicit CallTimer(Device device = {}) : device_(device) {}
    void Start();
    // After the call: the threads wanted (ThreadsToHideLatency) once the device is seen to
    // wait, at once for a device seen waiting before in this process; otherwise 0.
    unsigned Stop(unsigned processors, unsigned limit);
    // While the call is under way: the threads wanted when what it has waited so far shows the
    // device waiting by itself (kLongWait with the sign, or a device seen waiting before), so
    // that a file whose open alone took a share's round trips need not be read to the end
    // first; otherwise 0. Stop still ends the call as it would have.
    unsigned Midway(unsigned processors, unsigned limit) const;

private:
    Device device_;
    bool measuring_ = true; // this call is timed on the processor too
    bool first_ = true;
    int waits_ = 0;         // slow calls in a row that showed the sign of waiting
    unsigned passOver_ = 0; // slow calls still to be passed over before looking again
    unsigned lastPassed_ = 0;
    std::chrono::steady_clock::time_point wallStart_;
    std::chrono::nanoseconds cpuStart_{0};
    int64_t signAtStart_ = 0;
};

// While one lives, every timed call counts as one that waited for its device, and every device
// as seen waiting, so that tests can take the many-thread paths on a local disk.
class AssumeSlowDevice {
public:
    AssumeSlowDevice();
    ~AssumeSlowDevice();
    AssumeSlowDevice(const AssumeSlowDevice&) = delete;
    AssumeSlowDevice& operator=(const AssumeSlowDevice&) = delete;
};

} // namespace iotiming
