// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How pagewick-thumbnail shuts itself in before it reads a byte of the PDF, so that a hostile
// file that takes over the renderer can do no more than draw a wrong picture:
//
// - resource limits: address space and processor time (the caller also kills it on its wall
//   clock), no core files;
// - every descriptor closed but standard input, output, error and the PDF's;
// - Landlock: the file system is read-only, and readable only below the few folders that
//   libraries, fonts and font configuration live in. Nothing can be created, written, renamed
//   or removed anywhere; the PDF itself is reached only through the descriptor it was given.
//   Where the kernel knows them, TCP, abstract sockets and signals to other processes are
//   closed too;
// - seccomp: no sockets (so no network of any kind), no new programs, no tracing or reading of
//   other processes, no io_uring, BPF, namespaces or key rings.
//
// Landlock rather than a namespace sandbox (bubblewrap, unshare): it needs neither root nor
// unprivileged user namespaces, which several distributions switch off, and it cannot be
// undone by the process it confines. seccomp covers what Landlock's file rules do not see.
// Without Landlock the helper refuses to render: it runs only where it is shut in.

#include <string>
#include <sys/resource.h>
#include <vector>

// Sets the address-space and processor-time limits and turns core files off. False when the
// kernel refuses one of them.
bool LimitResources(rlim_t addressSpaceBytes, rlim_t processorSeconds);

// Closes every descriptor above standard error except keep.
void CloseDescriptorsExcept(int keep);

// The folders and files a renderer reads besides the document: libraries and shared data
// (/usr), the font configuration and its caches, the user's own fonts (from HOME and the XDG
// variables).
std::vector<std::string> RendererReadablePaths();

// Applies the Landlock rules (read-only, only below readable; paths that do not exist are left
// out) and the seccomp filter to the calling process and everything it starts. Called while
// the process has one thread, as Landlock confines the calling thread and the threads and
// processes it starts later. Empty on success, else what failed, for a message.
std::string RestrictToReading(const std::vector<std::string>& readable);
