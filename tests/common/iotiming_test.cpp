// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/iotiming.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

// Times three calls of work on one timer; the last call's answer.
template <typename Work> unsigned ThirdCall(Work work) {
    CallTimer timer;
    unsigned wanted = 0;
    for (int i = 0; i < 3; ++i) {
        timer.Start();
        work();
        wanted = timer.Stop(2, 64);
    }
    return wanted;
}

TEST(CallTimer, TellsWaitingFromWorking) {
    // Calls that sleep most of their time are what a slow device gives.
    EXPECT_GT(ThirdCall([] { std::this_thread::sleep_for(2ms); }), 2u);
    // Busy calls, however slow, and quick calls ask for nothing (a busy call may be
    // preempted on a loaded machine, but it never sleeps of its own accord).
    EXPECT_EQ(ThirdCall([] {
                  const auto until = std::chrono::steady_clock::now() + 2ms;
                  while (std::chrono::steady_clock::now() < until) {
                  }
              }),
              0u);
    EXPECT_EQ(ThirdCall([] {}), 0u);
}

TEST(CallTimer, FirstSlowCallOnlyRaisesSuspicion) {
    CallTimer timer;
    timer.Start();
    std::this_thread::sleep_for(1ms);
    EXPECT_EQ(timer.Stop(2, 64), 0u);
    timer.Start();
    std::this_thread::sleep_for(1ms);
    EXPECT_GT(timer.Stop(2, 64), 2u);
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
