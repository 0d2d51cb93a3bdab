#include "DefinitionKind.h"

#include "util/Text.h"

namespace nightjar::server {

namespace {

struct RegistryParts {
    std::string part1;  // hive^key[^value], as the client's REG record carries it
    std::string threat;
    std::string type;
};

// "hive^key[^value]=threat|type": the last "=" separates, as in the scanner.
RegistryParts splitRegistry(std::string_view body) {
    RegistryParts out;
    const std::size_t eq = body.rfind('=');
    std::string_view loc = eq == std::string_view::npos ? body : body.substr(0, eq);
    std::string_view rest = eq == std::string_view::npos ? std::string_view() : body.substr(eq + 1);
    rest = text::trimView(rest);
    const std::size_t bar = rest.find('|');
    out.threat = std::string(bar == std::string_view::npos ? rest : rest.substr(0, bar));
    out.type = bar == std::string_view::npos ? std::string() : std::string(rest.substr(bar + 1));
    // The client writes part1 + "^=" + ..., so a whole-key location must not end in "^".
    if (!loc.empty() && loc.back() == '^') {
        loc.remove_suffix(1);
    }
    out.part1 = std::string(loc);
    return out;
}

bool validHiveCode(std::string_view field) {
    const std::string code = text::trim(field);
    return code.size() == 1 && code[0] >= '0' && code[0] <= '5';
}

// "hive^key" or "hive^key^value"; empty when valid.
std::string validateRegistryLocation(std::string_view loc) {
    if (loc.find('|') != std::string_view::npos) {
        return "a registry location cannot hold \"|\"";
    }
    const std::vector<std::string> fields = text::split(loc, "^");
    if (fields.size() < 2 || fields.size() > 3) {
        return "a registry location is hive^key or hive^key^value";
    }
    if (!validHiveCode(fields[0])) {
        return "the hive code must be 0 to 5";
    }
    if (text::trim(fields[1]).empty()) {
        return "the registry key path is empty";
    }
    return {};
}

// Bytes that cannot travel in an update or would change meaning on the way: the client
// splits the scrambled body at raw "|" and "=" and stores each line between CR LF.
std::string validateBytes(std::string_view body) {
    for (const char ch : body) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == 127) {
            return "control characters are not allowed";
        }
        if (c == 255) {
            return "the character of code 255 does not survive the line encoding";
        }
        if (c == '<') {
            return "\"<\" would travel as the separator \"|\"";
        }
        if (c == 252) {
            return "the character of code 252 would travel as the separator \"=\"";
        }
        if (c == 201 || c == 204) {
            return "the characters of codes 201 and 204 become line breaks when stored";
        }
    }
    // Code 223 travels as a blank, and the client trims blanks from the end of a record.
    if (!body.empty() && static_cast<unsigned char>(body.back()) == 223) {
        return "an entry cannot end with the character of code 223";
    }
    return {};
}

const std::vector<std::string> kMarkers = {"FILE",  "EXE",  "DLL",  "DIR",  "REG", "COOK",
                                           "SFILE", "SEXE", "SDLL", "SDIR", "SREG"};

}  // namespace

std::string_view TargetFileName(TargetFile file) {
    switch (file) {
        case TargetFile::File:
            return "FileDefinition.dat";
        case TargetFile::Exe:
            return "ExeDefinition.dat";
        case TargetFile::Registry:
            return "RegistryDefinition.dat";
        case TargetFile::Cookies:
            return "BlockedCookies.dat";
        case TargetFile::Directory:
            return "DirectoryDefinition.dat";
        case TargetFile::Safety:
            return "Safety.dat";
    }
    return {};
}

std::optional<DefinitionKind> DefinitionKind::parse(std::string_view marker) {
    const std::string upper = text::toUpper(text::trimView(marker));
    for (const std::string& m : kMarkers) {
        if (m == upper) {
            return DefinitionKind(m);
        }
    }
    return std::nullopt;
}

const std::vector<std::string>& DefinitionKind::allMarkers() {
    return kMarkers;
}

std::vector<TargetFile> DefinitionKind::targets() const {
    if (marker_ == "FILE" || marker_ == "DLL") {
        return {TargetFile::File};
    }
    if (marker_ == "EXE") {
        return {TargetFile::File, TargetFile::Exe};
    }
    if (marker_ == "DIR") {
        return {TargetFile::Directory};
    }
    if (marker_ == "REG") {
        return {TargetFile::Registry};
    }
    if (marker_ == "COOK") {
        return {TargetFile::Cookies};
    }
    return {TargetFile::Safety};
}

bool DefinitionKind::reaches(TargetFile file) const {
    for (const TargetFile t : targets()) {
        if (t == file) {
            return true;
        }
    }
    return false;
}

std::string DefinitionKind::normalizeBody(std::string_view body) {
    std::size_t b = 0;
    std::size_t e = body.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (b < e && blank(body[b])) {
        ++b;
    }
    while (e > b && blank(body[e - 1])) {
        --e;
    }
    return std::string(body.substr(b, e - b));
}

std::string DefinitionKind::validate(std::string_view body) const {
    if (body.empty()) {
        return "the entry is empty";
    }
    if (std::string bad = validateBytes(body); !bad.empty()) {
        return bad;
    }
    if (marker_ == "COOK") {
        if (body.find('|') != std::string_view::npos || body.find('=') != std::string_view::npos) {
            return "a cookie site cannot hold \"|\" or \"=\"";
        }
        return {};
    }
    if (marker_ == "REG") {
        const std::size_t eq = body.rfind('=');
        if (eq == std::string_view::npos) {
            return "a registry entry is hive^key[^value]=threat|type";
        }
        if (std::string bad = validateRegistryLocation(body.substr(0, eq)); !bad.empty()) {
            return bad;
        }
        const RegistryParts parts = splitRegistry(body);
        if (text::trim(parts.threat).empty()) {
            return "the threat name is empty";
        }
        if (parts.type.find('|') != std::string::npos) {
            return "a registry entry has at most one \"|\", before its type";
        }
        return {};
    }
    const std::size_t eq = body.find('=');
    const std::size_t bar = body.find('|');
    if (isSafety()) {
        if (bar == std::string_view::npos) {
            return "a safety entry is name=value|location";
        }
        const std::string first = text::toUpper(text::trimView(body.substr(0, bar)));
        if (DefinitionKind::parse(first)) {
            return "write the safety entry without its kind; the kind is added on the wire";
        }
        if (eq == std::string_view::npos || eq > bar) {
            return "a safety entry is name=value|location";
        }
        const std::vector<std::string> fields = text::split(body, "|");
        const std::string location = text::trim(fields[1]);
        const std::string name = text::trim(body.substr(0, eq));
        if (marker_ == "SDIR" || marker_ == "SREG") {
            if (location.empty()) {
                return "the location is empty";
            }
        } else if (location.empty() && name.empty()) {
            return "a safety file entry needs a location or a name";
        }
        if (marker_ == "SREG") {
            if (std::string bad = validateRegistryLocation(fields[1]); !bad.empty()) {
                return bad;
            }
        }
        return {};
    }
    // FILE, EXE, DLL, DIR: name=threat|location|type.
    if (eq == std::string_view::npos || (bar != std::string_view::npos && eq > bar)) {
        return "an entry is name=threat|location|type";
    }
    if (text::trim(body.substr(0, eq)).empty()) {
        return "the name is empty";
    }
    const std::vector<std::string> fields = text::split(body, "|");
    if (fields.size() > 3) {
        return "an entry has at most three \"|\"-separated fields";
    }
    if (text::trim(fields[0].substr(eq + 1)).empty()) {
        return "the threat name is empty";
    }
    return {};
}

std::string DefinitionKind::addBody(std::string_view body) const {
    if (marker_ == "REG") {
        // The client stores part 1 + "^=" + value + "|" + part 2 and drops the name.
        const RegistryParts p = splitRegistry(body);
        return "REG=" + p.threat + "|" + p.part1 + "|" + p.type;
    }
    if (isSafety()) {
        return marker_ + "|" + std::string(body);
    }
    return std::string(body);
}

std::string DefinitionKind::delBody(std::string_view body) const {
    if (marker_ == "REG") {
        return storedLine(body, TargetFile::Registry);
    }
    return addBody(body);
}

std::string DefinitionKind::storedLine(std::string_view body, TargetFile file) const {
    switch (file) {
        case TargetFile::Registry: {
            const RegistryParts p = splitRegistry(body);
            return p.part1 + "^=" + p.threat + "|" + p.type;
        }
        case TargetFile::Cookies: {
            const std::size_t eq = body.find('=');
            return std::string(eq == std::string_view::npos ? body : body.substr(0, eq));
        }
        case TargetFile::Safety:
            return marker_ + "|" + std::string(body) + "|" + marker_;
        case TargetFile::File:
        case TargetFile::Exe:
        case TargetFile::Directory:
            break;
    }
    return std::string(body);
}

std::string DefinitionKind::removalKey(std::string_view storedLine) {
    const std::size_t eq = storedLine.find('=');
    return text::toLower(eq == std::string_view::npos ? storedLine : storedLine.substr(0, eq));
}

std::string DefinitionKind::fileName(std::string_view body) const {
    if (marker_ != "FILE" && marker_ != "EXE" && marker_ != "DLL") {
        return {};
    }
    const std::size_t eq = body.find('=');
    return text::toLower(text::trimView(body.substr(0, eq)));
}

std::string DefinitionKind::threatType(std::string_view body) const {
    if (marker_ == "REG") {
        return splitRegistry(body).type;
    }
    if (marker_ == "COOK" || isSafety()) {
        return {};
    }
    const std::vector<std::string> fields = text::split(body, "|");
    return fields.size() >= 3 ? fields[2] : std::string();
}

}  // namespace nightjar::server
