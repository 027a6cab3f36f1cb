// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A share whose server stops answering one question: FileInfoOfInTime(path),
// SubfolderNamesInTime(folder) or the kernel's watch of a folder gets no answer until the returned promise is kept (or dropped),
// and then the real one. The question is asked here first, in the words the platform asks it
// in, and left waiting. The path must lie on a volume the volume hook calls a network one, or
// it is not asked through the wait.

#include "platform/answerwithin.h"
#include "platform/filesearch.h"
#include "platform/pathnames.h"
#include "platform/watchers.h"

#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

template <class Answer>
std::promise<void> StallQuestion(const std::string& question, std::function<Answer()> answer) {
    std::promise<void> serverBack;
    std::shared_future<void> back = serverBack.get_future().share();
    platform::AnswerWithin<Answer>(question, std::chrono::milliseconds(1), [back, answer] {
        back.wait();
        return answer();
    });
    return serverBack;
}

inline std::promise<void> StallFileInfoOf(const QString& path) {
    const std::string bytes = platform::PathToBytes(path);
    return StallQuestion<std::optional<platform::FindData>>(
        "info " + bytes, [bytes] { return platform::FileInfoOf(bytes); });
}

// folder without a trailing "/", as the platform asks.
inline std::promise<void> StallSubfolderNamesOf(const QString& folder) {
    const std::string bytes = platform::PathToBytes(folder);
    return StallQuestion<std::optional<std::vector<std::string>>>(
        "subfolders " + bytes, [bytes] { return platform::SubfolderNames(bytes); });
}

// folder without a trailing "/", as FolderChanges asks.
inline std::promise<void> StallFolderWatch(const QString& folder) {
    const std::string bytes = platform::PathToBytes(folder);
    return StallQuestion<int>("watch " + bytes, [bytes] { return platform::AddKernelWatch(bytes); });
}
