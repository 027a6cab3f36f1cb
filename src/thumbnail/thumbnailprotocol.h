// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the window's side talks to pagewick-thumbnail, the process that renders first pages:
//
//   pagewick-thumbnail --size N --fd F
//
// The caller opens the PDF itself and leaves it open, for reading, on descriptor F; the helper
// never names a file. The password (often empty) is the whole of its standard input, so that
// it never shows in a process list. The helper writes one PNG, whose longer side is N pixels,
// to its standard output and ends with one of the codes below; ended by a signal it crashed or
// went past its limits.

namespace thumbnail {

enum ExitCode : int {
    kRendered = 0,             // the PNG is on standard output; the file opens without password
    kUsage = 2,                // bad arguments; nothing was read
    kRenderedWithPassword = 3, // the PNG is on standard output; only the password opened the file
    kLocked = 4,               // protected, and no password given or the one given does not open it
    kUnreadable = 5,           // not a PDF, damaged, or a first page that cannot be drawn
    kOverMemory = 6,           // the file needed more memory than the helper may take
    kNoSandbox = 7,            // the helper could not shut itself in, so it did not read the file
};

constexpr long kMemoryLimitBytes = 256L << 20; // address space
constexpr int kTimeLimitSeconds = 2;           // processor time, and the caller's wall clock
constexpr int kPasswordMaxBytes = 4096;
constexpr int kSmallestSide = 16, kLargestSide = 1024; // sizes the helper accepts for N

} // namespace thumbnail
