#include "definitions/SignatureTable.h"

#include <limits>

namespace nightjar::definitions {

SignatureTable::SignatureTable(const std::vector<SignatureEntry>& entries) {
    rows_.reserve(entries.size());
    for (const auto& e : entries) {
        push_back(e);
    }
}

SignatureEntry SignatureTable::operator[](std::size_t i) const {
    const Row& r = rows_[i];
    return {view(r.folder), view(r.name), view(r.type), view(r.threatName)};
}

SignatureTable::Span SignatureTable::keep(std::string_view s) {
    const Span span{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(s.size())};
    text_.append(s);
    return span;
}

SignatureTable::Span SignatureTable::keepShared(std::string_view s, Span previous) {
    return view(previous) == s ? previous : keep(s);
}

bool SignatureTable::push_back(const SignatureEntry& e) {
    // Offsets are 32-bit: a table stops taking rows before its text outgrows them.
    const std::size_t length =
        e.folder.size() + e.name.size() + e.type.size() + e.threatName.size();
    if (length > std::numeric_limits<std::uint32_t>::max() - text_.size()) {
        return false;
    }
    const Row previous = rows_.empty() ? Row{} : rows_.back();
    Row row;
    row.folder = keepShared(e.folder, previous.folder);
    row.type = keepShared(e.type, previous.type);
    row.name = keep(e.name);
    row.threatName = keep(e.threatName);
    rows_.push_back(row);
    return true;
}

void SignatureTable::clear() {
    std::vector<Row>().swap(rows_);
    std::string().swap(text_);
}

}  // namespace nightjar::definitions
