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
void Spin() {
    const auto until = std::chrono::steady_clock::now() + 1ms;
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

TEST(CallTimer, ThreadsOnlyForRepeatedWaitsOfADeviceThatCanWait) {
    using iotiming::DeviceKind;
    // Four calls: the first slow one raises suspicion, the next three confirm it.
    const std::vector<unsigned> none(4, 0);
    const struct {
        DeviceKind kind;
        void (*work)();
        bool threads;
    } cases[] = {
        // A share whose calls sleep while they wait for the answer.
        {DeviceKind::Remote, Sleep, true},
        // Busy calls, however slow, never sleep of their own accord (a busy call may be
        // preempted on a loaded machine); quick ones are not looked at.
        {DeviceKind::Remote, Spin, false},
        {DeviceKind::Remote, Nothing, false},
        // A disk's call that sleeps without reading a block slept on something else (a lock,
        // a page fault behind another thread's): a loaded machine, not the disk.
        {DeviceKind::Disk, Sleep, false},
        {DeviceKind::Disk, Spin, false},
        // Memory and solid-state disks are not even timed.
        {DeviceKind::Local, Sleep, false},
    };
    uint64_t id = 0x7E570001; // a device number of each case's own
    for (const auto& c : cases) {
        const std::vector<unsigned> answers = Answers({c.kind, id++}, c.work, 4);
        const std::string which = std::to_string(int(c.kind)) + " " + std::to_string(id);
        EXPECT_EQ(std::vector<unsigned>(answers.begin(), answers.end() - 1),
                  std::vector<unsigned>(3, 0))
            << which;
        EXPECT_EQ(answers.back() > 2, c.threads) << which;
    }
}

TEST(CallTimer, ADeviceSeenWaitingIsTrustedAtOnce) {
    const iotiming::Device share{iotiming::DeviceKind::Remote, 0x7E570100};
    ASSERT_GT(Answers(share, Sleep, 4).back(), 2u);
    // The next series on that device (the next folder, a second listing) does not wait to see.
    EXPECT_GT(Answers(share, Nothing, 1).front(), 2u);
    EXPECT_EQ(Answers({iotiming::DeviceKind::Remote, 0x7E570101}, Nothing, 1).front(), 0u);
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
