#pragma once
// The user's locale as the list uses it: the collation rows are sorted by and the thousands
// separator of its numbers. Shared by the window and the command-line lister.

#include "app/listrows.h"

#include <string>

// The locale's comparison of two UTF-8 texts, case deciding only between otherwise equal ones.
int LocaleCompare(const std::string& a, const std::string& b);
// The cell format of the user's locale.
CellFormat LocaleCellFormat();
