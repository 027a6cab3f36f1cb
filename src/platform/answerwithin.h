// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Questions to a file system that may not answer for minutes (a share whose server died, a hard
// NFS mount), asked where a window must not wait for them. Each is asked on a thread of its own
// and waited for a while; one not answered in time is left to its thread. Until it is answered
// the same question gets nothing at once: it holds one thread, and no caller waits for it twice.
// Once answered, the answer goes to the next caller, so that a slow share that takes longer than
// the wait is not asked in vain again and again.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

// ask's answer when it comes within wait; nothing when it does not, or at once while the same
// question (by its text) is still unanswered from an earlier call; that call's answer once it
// came.
template <class Answer>
std::optional<Answer> AnswerWithin(const std::string& question, std::chrono::milliseconds wait,
                                   std::function<Answer()> ask) {
    struct Asked {
        bool done = false;
        Answer answer{};
    };
    // Never destroyed: a thread still waiting for a server when the process ends must find it.
    struct Open {
        std::mutex mutex;
        std::condition_variable answered;
        std::map<std::string, std::shared_ptr<Asked>> unanswered; // not in time
    };
    static Open* const open = new Open;
    std::unique_lock lock(open->mutex);
    if (const auto it = open->unanswered.find(question); it != open->unanswered.end()) {
        const std::shared_ptr<Asked> late = it->second;
        if (!late->done)
            return std::nullopt;
        open->unanswered.erase(it);
        return std::move(late->answer);
    }
    auto asked = std::make_shared<Asked>();
    try {
        std::thread([asked, ask] {
            Answer answer = ask();
            const std::lock_guard done(open->mutex);
            asked->answer = std::move(answer);
            asked->done = true;
            open->answered.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        lock.unlock();
        return ask(); // no thread to be had: asked here
    }
    if (open->answered.wait_for(lock, wait, [&] { return asked->done; }))
        return std::move(asked->answer);
    open->unanswered.emplace(question, asked);
    return std::nullopt;
}

} // namespace platform
