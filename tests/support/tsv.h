// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of a tab-separated table that a fixture script wrote: the first line names the
// columns and is skipped; each row has exactly `columns` fields (missing ones empty).

#include <string>
#include <vector>

std::vector<std::vector<std::string>> ReadTsvRows(const std::string& path, size_t columns);
