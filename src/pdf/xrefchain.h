// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cross-reference table as the file states it: from the offset after the last "startxref"
// along /Prev, each section a classic table or a cross-reference stream, and a hybrid file's
// /XRefStm.

#include "pdf/xreftable.h"

#include <cstdint>

class ByteSource;
class ReadBudget;

// Walks the chain. Raises EReadError(Damaged) when the file has no startxref or when a section
// the chain names is not where it says (the caller then recovers the table from a scan), and
// EReadError(OverBudget) when the sections list more entries than ReadBudget allows.
XrefTable ReadXrefChain(const ByteSource& source, ReadBudget& budget);

// The offset that the last "startxref" of the file names; raises EReadError(Damaged) when there
// is none or it names no offset inside the file.
int64_t FindStartxref(const ByteSource& source);
