#include "definitions/SignatureTable.h"

#include <algorithm>
#include <limits>

namespace nightjar::definitions {

SignatureTable::SignatureTable(const std::vector<SignatureEntry>& entries) {
    for (const auto& e : entries) {
        push_back(e);
    }
}

SignatureEntry SignatureTable::operator[](std::size_t i) const {
    const Row& r = rows_[i];
    const std::string_view all(r.text, std::size_t{r.folder} + r.name + r.type + r.threatName);
    return {all.substr(0, r.folder), all.substr(r.folder, r.name),
            all.substr(r.folder + r.name, r.type), all.substr(r.folder + r.name + r.type)};
}

char* SignatureTable::room(std::size_t n) {
    if (n > left_ || blocks_.empty()) {
        // A text longer than a block gets a block of its own.
        const std::size_t size = std::max(n, kBlockSize);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        free_ = blocks_.back().get();
        left_ = size;
    }
    char* p = free_;
    free_ += n;
    left_ -= n;
    return p;
}

bool SignatureTable::push_back(const SignatureEntry& e) {
    constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (e.folder.size() > kMax || e.name.size() > kMax || e.type.size() > kMax ||
        e.threatName.size() > kMax) {
        return false;
    }
    Row row;
    row.folder = static_cast<std::uint32_t>(e.folder.size());
    row.name = static_cast<std::uint32_t>(e.name.size());
    row.type = static_cast<std::uint32_t>(e.type.size());
    row.threatName = static_cast<std::uint32_t>(e.threatName.size());
    char* p = room(e.folder.size() + e.name.size() + e.type.size() + e.threatName.size());
    row.text = p;
    for (std::string_view s : {e.folder, e.name, e.type, e.threatName}) {
        p = std::copy(s.begin(), s.end(), p);
    }
    rows_.push_back(row);
    return true;
}

void SignatureTable::clear() {
    std::vector<Row>().swap(rows_);
    blocks_.clear();
    free_ = nullptr;
    left_ = 0;
}

}  // namespace nightjar::definitions
