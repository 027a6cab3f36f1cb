// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether an action, or a dictionary of triggered actions (/AA), runs JavaScript.

#include "pdf/pdfobject.h"

class ObjectStore;

// value: an action dictionary (its /Next actions followed), or an /AA dictionary whose every
// entry is one; references resolved. Chains are followed a few links deep, as real ones are.
bool RunsJavaScript(ObjectStore& store, const PdfObject& value);
