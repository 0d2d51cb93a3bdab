#include "definitions/SignatureTable.h"

#include <cstring>

namespace nightjar::definitions {

SignatureTable::SignatureTable(const std::vector<SignatureEntry>& entries) {
    rows_.reserve(entries.size());
    for (const auto& e : entries) {
        push_back(e);
    }
}

const char* SignatureTable::getLength(const char* p, std::size_t& length) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    if (v != 0xFFFF) {
        length = v;
        return p + 2;
    }
    std::uint32_t w;
    std::memcpy(&w, p + 2, 4);
    length = w;
    return p + 6;
}

SignatureEntry SignatureTable::operator[](std::size_t i) const {
    const Row& r = rows_[i];
    std::size_t nameLength = 0;
    std::size_t threatLength = 0;
    const char* p = getLength(getLength(arena_.at(r.text), nameLength), threatLength);
    return SignatureEntry{text(r.folder), std::string_view(p, nameLength), text(r.type),
                          std::string_view(p + nameLength, threatLength)};
}

std::string_view SignatureTable::text(Ref ref) const {
    if (ref == kEmpty) {
        return {};
    }
    std::size_t length = 0;
    const char* p = getLength(arena_.at(ref), length);
    return {p, length};
}

bool SignatureTable::push_back(const SignatureEntry& e) {
    Ref folder = kEmpty;
    Ref type = kEmpty;
    if (!keep(e.folder, folder) || !keep(e.type, type)) {
        return false;
    }
    char* p = appendRow(folder, type, e.name.size(), e.threatName.size());
    if (p == nullptr) {
        return false;
    }
    if (!e.name.empty()) {
        std::memcpy(p, e.name.data(), e.name.size());
    }
    if (!e.threatName.empty()) {
        std::memcpy(p + e.name.size(), e.threatName.data(), e.threatName.size());
    }
    return true;
}

void SignatureTable::clear() {
    std::vector<Row>().swap(rows_);
    arena_.clear();
}

}  // namespace nightjar::definitions
