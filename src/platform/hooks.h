// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every service of the platform layer that reaches outside the process (volumes, key states,
// message boxes, starting programs, icons) can be replaced through a setter that takes a
// std::function and returns the one in force before. An empty function restores the system's
// own service. ScopedHook does that pairing for a test or a block.

#include <utility>

namespace platform {

template <typename Hook> class ScopedHook {
public:
    using Setter = Hook (*)(Hook);
    ScopedHook(Setter setter, Hook hook) : setter_(setter), previous_(setter(std::move(hook))) {}
    ~ScopedHook() { setter_(std::move(previous_)); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;

private:
    Setter setter_;
    Hook previous_;
};

} // namespace platform
