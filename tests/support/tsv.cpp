// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/tsv.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

std::vector<std::vector<std::string>> ReadTsvRows(const std::string& path, size_t columns) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream cells(line);
        for (std::string field; std::getline(cells, field, '\t');)
            fields.push_back(field);
        fields.resize(columns);
        rows.push_back(std::move(fields));
    }
    return rows;
}
