// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/iotiming.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using iotiming::CallTimer;
using iotiming::ThreadsToHideLatency;

namespace {

TEST(ThreadsToHideLatency, KeepsTheProcessorsBusyAndNoMore) {
    const struct {
        std::chrono::nanoseconds wall, cpu;
        unsigned processors, limit, expected;
    } cases[] = {
        {10ms, 10ms, 2, 64, 2},  // all processor work: one thread a processor
        {10ms, 5ms, 2, 64, 4},   // half waiting: twice as many
        {10ms, 3ms, 2, 64, 7},   // rounded up, so the processors are kept busy
        {10ms, 20us, 2, 64, 64}, // a slow device: up to the limit
        {10ms, 0ns, 4, 32, 32},  // no processor time counted at all
        {10ms, 1ms, 1, 64, 10},  // one processor
        {10ms, 1ms, 0, 64, 10},  // an unknown count of processors counts as one
        {1ms, 2ms, 2, 64, 2},    // processor time beyond the wall time (coarse clocks)
        {10ms, 1us, 8, 4, 8},    // a limit below the processors does not starve them
    };
    for (const auto& c : cases)
        EXPECT_EQ(ThreadsToHideLatency(c.wall, c.cpu, c.processors, c.limit), c.expected)
            << c.wall.count() << " " << c.cpu.count() << " " << c.processors;
}

void Sleep() {
    std::this_thread::sleep_for(1ms);
}
void LongSleep() {
    std::this_thread::sleep_for(iotiming::kLongWait + 10ms);
}
void Spin() {
    const auto until = std::chrono::steady_clock::now() + 1ms;
    while (std::chrono::steady_clock::now() < until) {
    }
}
void LongSpin() {
    const auto until = std::chrono::steady_clock::now() + iotiming::kLongWait + 10ms;
    while (std::chrono::steady_clock::now() < until) {
    }
}
void Nothing() {}

// What a timer on device answers to each of calls calls of work.
std::vector<unsigned> Answers(iotiming::Device device, void (*work)(), int calls) {
    CallTimer timer(device);
    std::vector<unsigned> answers;
    for (int i = 0; i < calls; ++i) {
        timer.Start();
        work();
        answers.push_back(timer.Stop(2, 64));
    }
    return answers;
}

TEST(CallTimer, ThreadsOnlyForRepeatedOrLongWaitsOfADeviceThatCanWait) {
    using iotiming::DeviceKind;
    const struct {
        DeviceKind kind;
        void (*work)();
        int threadsFrom; // the call that first asks for threads; 0 for none of four
    } cases[] = {
        // A share whose calls sleep while they wait for the answer: three short waits confirm
        // it, a long one at once.
        {DeviceKind::Remote, Sleep, 3},
        {DeviceKind::Remote, LongSleep, 1},
        // Busy calls, however slow, never sleep of their own accord (a busy call may be
        // preempted on a loaded machine); quick ones are not looked at.
        {DeviceKind::Remote, Spin, 0},
        {DeviceKind::Remote, Nothing, 0},
        // A disk's call that sleeps without reading a block slept on something else (a lock,
        // a page fault behind another thread's): a loaded machine, not the disk.
        {DeviceKind::Disk, Sleep, 0},
        {DeviceKind::Disk, LongSleep, 0},
        {DeviceKind::Disk, Spin, 0},
        // Memory and solid-state disks are not even timed.
        {DeviceKind::Local, LongSleep, 0},
    };
    uint64_t id = 0x7E570001; // a device number of each case's own
    for (const auto& c : cases) {
        const std::vector<unsigned> answers = Answers({c.kind, id++}, c.work, 4);
        int threadsFrom = 0;
        for (size_t i = answers.size(); i-- > 0;)
            if (answers[i] > 2)
                threadsFrom = int(i) + 1;
        EXPECT_EQ(threadsFrom, c.threadsFrom) << int(c.kind) << " " << id;
    }
}

// What a call has waited so far shows the device waiting before the call ends, on the terms
// that confirm a wait by one call.
TEST(CallTimer, ALongWaitIsSeenBeforeTheCallEnds) {
    using iotiming::DeviceKind;
    const struct {
        DeviceKind kind;
        void (*work)();
        bool seen;
    } cases[] = {
        {DeviceKind::Remote, LongSleep, true}, {DeviceKind::Remote, Sleep, false},
        {DeviceKind::Remote, LongSpin, false}, {DeviceKind::Disk, LongSleep, false},
        {DeviceKind::Local, LongSleep, false},
    };
    uint64_t id = 0x7E570200;
    for (const auto& c : cases) {
        CallTimer timer({c.kind, id++});
        timer.Start();
        c.work();
        EXPECT_EQ(timer.Midway(2, 64) > 2, c.seen) << int(c.kind) << " " << id;
        EXPECT_EQ(timer.Stop(2, 64) > 2, c.seen) << int(c.kind) << " " << id;
    }
}

TEST(CallTimer, ADeviceSeenWaitingIsTrustedAtOnce) {
    const iotiming::Device share{iotiming::DeviceKind::Remote, 0x7E570100};
    ASSERT_GT(Answers(share, Sleep, 4).back(), 2u);
    // The next series on that device (the next folder, a second listing) does not wait to see,
    // not even for its first call to end.
    EXPECT_GT(Answers(share, Nothing, 1).front(), 2u);
    CallTimer next(share);
    next.Start();
    EXPECT_GT(next.Midway(2, 64), 2u);
    EXPECT_EQ(Answers({iotiming::DeviceKind::Remote, 0x7E570101}, Nothing, 1).front(), 0u);
    // Before any call at all: what the read-ahead of the next folder starts with.
    EXPECT_GT(iotiming::ThreadsSeenWanting(share, 2, 64), 2u);
    EXPECT_EQ(iotiming::ThreadsSeenWanting({iotiming::DeviceKind::Remote, 0x7E570102}, 2, 64), 0u);
    // What a long wait wants is kept beyond the limit of the calls that saw it (a folder's
    // listing): the reading of its files, with a higher limit, starts with more.
    const iotiming::Device slowShare{iotiming::DeviceKind::Remote, 0x7E570103};
    ASSERT_EQ(Answers(slowShare, LongSleep, 1).front(), 64u);
    EXPECT_GT(iotiming::ThreadsSeenWanting(slowShare, 2, 256), 64u);
}

TEST(CallTimer, AssumedSlowDeviceAsksForTheLimit) {
    CallTimer timer;
    {
        const iotiming::AssumeSlowDevice slow;
        timer.Start();
        EXPECT_EQ(timer.Stop(2, 16), 16u);
    }
    timer.Start();
    EXPECT_EQ(timer.Stop(2, 16), 0u);
}

} // namespace
