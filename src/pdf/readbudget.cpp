// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/readbudget.h"

#include "common/errors.h"

#include <string>

namespace {

void Spend(int64_t& spent, int64_t n, int64_t bound, const char* what) {
    if (n < 0 || n > bound - spent)
        throw EReadError(ErrorKind::OverBudget, std::string(what));
    spent += n;
}

} // namespace

void ReadBudget::EntriesOverBudget() {
    throw EReadError(ErrorKind::OverBudget, "相互参照の項目が 2,097,152 個を超えます");
}

void ReadBudget::SpendParsing(int64_t bytes) {
    Spend(parsed_, bytes, kMaxParsedBytes, "解析するオブジェクトが合わせて 256 MiB を超えます");
}

void ReadBudget::SpendStreamBytes(int64_t bytes) {
    Spend(streamBytes_, bytes, kMaxStreamBytes, "ストリームのデータが合わせて 256 MiB を超えます");
}

void ReadBudget::SpendPageTreeNodes(int64_t n) {
    Spend(pageTreeNodes_, n, kMaxPageTreeNodes, "ページツリーの節が 2,097,152 個を超えます");
}
