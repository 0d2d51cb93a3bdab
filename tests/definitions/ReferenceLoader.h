#pragma once
// The file and folder tables worked out the plain way, one std::string at a time, straight
// from the loading steps: what the loader must agree with.
#include <string>
#include <vector>

#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "util/Text.h"

namespace nightjar::definitions::testing {

/// One row of a table, with texts of its own.
struct ReferenceEntry {
    std::string folder;
    std::string name;
    std::string type;
    std::string threatName;
};

/// The protection test as a plain loop over the list, for comparison.
inline bool referenceProtected(const std::vector<std::string>& entries, std::string c) {
    c = text::trim(text::toLower(c));
    if (c.find(":\\") != std::string::npos) {
        // The drive letter, or whatever character stands in its place.
        std::size_t first = 1;
        while (first < c.size() && (static_cast<unsigned char>(c[first]) & 0xC0) == 0x80) {
            ++first;
        }
        c.replace(0, first, "c");
    }
    if (!c.empty() && c.back() == '/')
        c.pop_back();
    if (!c.empty() && c.back() == '\\')
        c.pop_back();
    if (c.empty() || c == " ")
        return true;
    for (const auto& e : entries) {
        std::string s = text::trim(text::toLower(e));
        if (!s.empty() && s.back() == '/')
            s.pop_back();
        if (!s.empty() && s.back() == '\\')
            s.pop_back();
        if (s.empty())
            continue;
        if (c == s || c == s + "\\" || s == c + "\\")
            return true;
        std::string u = text::toUpper(c);
        for (const auto* h : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                              "HKEY_USERS", "HKEY_CURRENT_CONFIG"}) {
            if (u == h || u == std::string(h) + "\\")
                return true;
        }
    }
    return false;
}

/// The tables as the loading steps describe them, one std::string at a time, from the
/// lines as the reader gives them (unscrambled, UTF-8).
inline std::vector<ReferenceEntry> referenceTable(const std::vector<std::string>& lines,
                                                  bool fileTable, PlaceholderExpander& expander,
                                                  const std::vector<std::string>& safety) {
    std::vector<ReferenceEntry> table;
    for (const auto& line : lines) {
        std::string head = line;
        std::string type;
        std::string folder;
        if (line.find('|') != std::string::npos) {
            const auto fields = text::split(line, "|");
            head = fields[0];
            if (fields.size() > 2) {
                type = fields[2];
                if (fileTable && type == "TYPE") {
                    type = "Spyware";
                }
            }
            const std::string location = text::collapseBackslashes(expander.Expand(fields[1]));
            if (!location.empty()) {
                folder = text::collapseBackslashes(location + "\\");
            }
        }
        const auto parts = text::split(head, "=");
        const std::string name = text::toLower(text::trim(parts[0]));
        const std::string threat = parts.size() > 1 ? parts[1] : "";
        folder = text::toLower(folder);
        if (!fileTable && !folder.empty() && folder.back() == '\\') {
            folder.pop_back();
        }
        if (referenceProtected(safety, fileTable ? folder + name : folder)) {
            continue;
        }
        table.push_back({folder, name, type, threat});
        if (table.size() >= SignatureStore::kTableSize) {
            break;
        }
    }
    return table;
}

}  // namespace nightjar::definitions::testing
