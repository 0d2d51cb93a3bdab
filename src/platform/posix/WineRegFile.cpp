#include "platform/posix/WineRegFile.h"

#include <cstdio>
#include <unordered_set>

#include "util/Text.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::posix {

struct WineRegFile::Node {
    std::string name;
    std::string folded;
    Node* parent = nullptr;
    std::map<std::string, std::unique_ptr<Node>> children;  ///< by folded name
    std::vector<Block*> blocks;                             ///< the key's lines, in file order
};

namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";
constexpr std::string_view kTime = "#time=";
// Seconds from 1601-01-01 (the registry's epoch) to 1970-01-01.
constexpr std::int64_t kEpochDelta = 11644473600;

std::string_view withoutEol(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    return line;
}

std::string_view eolOf(std::string_view line) {
    return line.substr(withoutEol(line).size());
}

bool endsWithEmptyLine(std::string_view text) {
    std::string_view body = withoutEol(text);
    return body.size() < text.size() && (body.empty() || body.back() == '\n');
}

bool isStringType(std::uint32_t type) {
    return type == 1 || type == 2 || type == 7;
}

std::string littleEndian(const std::u16string& s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::u16string fromLittleEndian(std::string_view bytes) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return out;
}

/// UTF-16 of the engine's text; bytes that are no UTF-8 are taken as Latin-1.
std::u16string wide(std::string_view utf8) {
    if (auto le = utf16::fromUtf8(utf8)) {
        return fromLittleEndian(*le);
    }
    std::u16string out;
    for (char c : utf8) {
        out.push_back(static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> narrow(const std::u16string& s) {
    return utf16::toUtf8(littleEndian(s));
}

/// Reads Wine's escaped text from `s` at `i` up to an unescaped `end` (i then stands after
/// it); false when `end` does not come. Raw bytes above ASCII are read as UTF-8 where they
/// are, else as Latin-1.
bool unescape(std::string_view s, std::size_t& i, char end, std::u16string& out) {
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == static_cast<unsigned char>(end)) {
            ++i;
            return true;
        }
        if (c >= 0x80) {
            std::size_t j = i;
            while (j < s.size() && static_cast<unsigned char>(s[j]) >= 0x80) {
                ++j;
            }
            std::string_view run = s.substr(i, j - i);
            if (auto le = utf16::fromUtf8(run)) {
                out += fromLittleEndian(*le);
            } else {
                for (char r : run) {
                    out.push_back(static_cast<unsigned char>(r));
                }
            }
            i = j;
            continue;
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (++i >= s.size()) {
            return false;
        }
        const char e = s[i++];
        switch (e) {
            case 'a':
                out.push_back(u'\a');
                break;
            case 'b':
                out.push_back(u'\b');
                break;
            case 'e':
                out.push_back(0x1B);
                break;
            case 'f':
                out.push_back(u'\f');
                break;
            case 'n':
                out.push_back(u'\n');
                break;
            case 'r':
                out.push_back(u'\r');
                break;
            case 't':
                out.push_back(u'\t');
                break;
            case 'v':
                out.push_back(u'\v');
                break;
            case 'x': {
                if (i >= s.size() || text::hexDigitValue(s[i]) < 0) {
                    out.push_back(u'x');
                    break;
                }
                unsigned v = 0;
                for (int k = 0; k < 4 && i < s.size() && text::hexDigitValue(s[i]) >= 0; ++k) {
                    v = v * 16 + static_cast<unsigned>(text::hexDigitValue(s[i++]));
                }
                out.push_back(static_cast<char16_t>(v));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k) {
                        v = v * 8 + static_cast<unsigned>(s[i++] - '0');
                    }
                    out.push_back(static_cast<char16_t>(v));
                } else {
                    out.push_back(static_cast<unsigned char>(e));
                }
                break;
        }
    }
    return false;
}

bool isHex(char16_t c) {
    return c < 128 && text::hexDigitValue(static_cast<char>(c)) >= 0;
}

/// Wine's escaped form of `s`; `special` are the characters that get a backslash besides
/// the backslash itself. String data leaves out its final NUL (`data`), as Wine writes it.
void escapeInto(std::string& out, const std::u16string& s, std::string_view special,
                bool data = false) {
    static constexpr char kEscapes[] = ".......abtnvfr.............e....";
    char buf[16];
    for (std::size_t k = 0; k < s.size(); ++k) {
        const char16_t c = s[k];
        const bool more = k + 1 < s.size();
        if (c > 127) {
            std::snprintf(buf, sizeof buf, more && isHex(s[k + 1]) ? "\\x%04x" : "\\x%x",
                          static_cast<unsigned>(c));
            out += buf;
        } else if (c < 32) {
            if (c == 0 && !more && data) {
                continue;
            }
            if (kEscapes[c] != '.') {
                out.push_back('\\');
                out.push_back(kEscapes[c]);
            } else {
                std::snprintf(buf, sizeof buf,
                              more && s[k + 1] >= u'0' && s[k + 1] <= u'7' ? "\\%03o" : "\\%o",
                              static_cast<unsigned>(c));
                out += buf;
            }
        } else {
            const char a = static_cast<char>(c);
            if (a == '\\' || special.find(a) != std::string_view::npos) {
                out.push_back('\\');
            }
            out.push_back(a);
        }
    }
}

std::string hexNumber(std::uint64_t n, const char* format) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, static_cast<unsigned long long>(n));
    return buf;
}

/// The stored bytes of a value: string types in UTF-16.
std::string storedBytes(const RegValue& v) {
    const auto type = static_cast<std::uint32_t>(v.type);
    return isStringType(type) ? littleEndian(wide(v.data)) : v.data;
}

RegValue fromStored(std::uint32_t type, std::string bytes) {
    RegValue v;
    v.type = static_cast<RegType>(type);
    if (isStringType(type)) {
        if (auto text = utf16::toUtf8(bytes)) {
            v.data = std::move(*text);
            return v;
        }
    }
    v.data = std::move(bytes);
    return v;
}

/// The value's line(s) as Wine writes them, wrapped hex data included.
std::string formatValue(std::string_view name, const RegValue& v, const std::string& eol) {
    std::string out;
    if (name.empty()) {
        out = "@=";
    } else {
        out = "\"";
        escapeInto(out, wide(name), "\"");
        out += "\"=";
    }
    const auto type = static_cast<std::uint32_t>(v.type);
    const std::string bytes = storedBytes(v);
    if (isStringType(type) && bytes.size() >= 2 && bytes.size() % 2 == 0 &&
        bytes[bytes.size() - 1] == 0 && bytes[bytes.size() - 2] == 0) {
        if (type != 1) {
            out += "str(" + hexNumber(type, "%llx") + "):";
        }
        out.push_back('"');
        escapeInto(out, fromLittleEndian(bytes), "\"", true);
        out += "\"" + eol;
        return out;
    }
    if (type == 4 && bytes.size() == 4) {
        std::uint32_t n = 0;
        for (int k = 3; k >= 0; --k) {
            n = (n << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(k)]);
        }
        return out + "dword:" + hexNumber(n, "%08llx") + eol;
    }
    out += type == 3 ? std::string("hex:") : "hex(" + hexNumber(type, "%llx") + "):";
    // Wine breaks the line once it passes 76 characters.
    std::size_t count = out.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += hexNumber(static_cast<unsigned char>(bytes[i]), "%02llx");
        count += 2;
        if (i + 1 < bytes.size()) {
            out.push_back(',');
            if (++count > 76) {
                out += "\\" + eol + "  ";
                count = 2;
            }
        }
    }
    return out + eol;
}

void skipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
        ++i;
    }
}

bool onlyBlanksFrom(std::string_view s, std::size_t i) {
    skipBlanks(s, i);
    return i == s.size();
}

/// Reads 1 to `maxDigits` hex digits at `i`.
bool readHex(std::string_view s, std::size_t& i, int maxDigits, std::uint64_t& out) {
    out = 0;
    int n = 0;
    while (n < maxDigits && i < s.size() && text::hexDigitValue(s[i]) >= 0) {
        out = out * 16 + static_cast<unsigned>(text::hexDigitValue(s[i++]));
        ++n;
    }
    return n > 0;
}

/// Reads "hex:" (binary) or "hex(type):" at the start of `d`; `j` then stands after it.
bool hexTag(std::string_view d, std::size_t& j, std::uint32_t& type) {
    std::uint64_t n = 3;
    if (d.starts_with("hex(")) {
        j = 4;
        if (!readHex(d, j, 8, n) || j + 1 >= d.size() || d[j] != ')' || d[j + 1] != ':') {
            return false;
        }
        j += 2;
    } else if (d.starts_with("hex:")) {
        j = 4;
    } else {
        return false;
    }
    type = static_cast<std::uint32_t>(n);
    return true;
}

/// Where the data of a value line starts (after "="), with its name; npos when the line is
/// no value line.
std::size_t dataStart(std::string_view s, std::u16string& name) {
    std::size_t i = 0;
    if (s.starts_with('@')) {
        i = 1;
    } else if (s.starts_with('"')) {
        i = 1;
        if (!unescape(s, i, '"', name)) {
            return std::string_view::npos;
        }
    } else {
        return std::string_view::npos;
    }
    skipBlanks(s, i);
    if (i >= s.size() || s[i] != '=') {
        return std::string_view::npos;
    }
    ++i;
    skipBlanks(s, i);
    return i;
}

/// A value line (continuations joined): its name and value.
bool parseValue(std::string_view s, std::u16string& name, std::uint32_t& type, std::string& bytes) {
    std::size_t i = dataStart(s, name);
    if (i == std::string_view::npos) {
        return false;
    }
    std::string_view d = s.substr(i);
    struct Tag {
        std::string_view text;
        std::uint32_t type;
    };
    static constexpr Tag kStrings[] = {
        {"\"", 1}, {"str:\"", 1}, {"str(2):\"", 2}, {"str(7):\"", 7}};
    for (const Tag& tag : kStrings) {
        if (d.starts_with(tag.text)) {
            std::size_t j = tag.text.size();
            std::u16string text;
            if (!unescape(d, j, '"', text) || !onlyBlanksFrom(d, j)) {
                return false;
            }
            text.push_back(0);
            type = tag.type;
            bytes = littleEndian(text);
            return true;
        }
    }
    std::size_t j = 0;
    std::uint64_t n = 0;
    if (d.starts_with("dword:")) {
        j = 6;
        if (!readHex(d, j, 8, n) || !onlyBlanksFrom(d, j)) {
            return false;
        }
        type = 4;
        bytes.clear();
        for (int k = 0; k < 4; ++k) {
            bytes.push_back(static_cast<char>((n >> (8 * k)) & 0xFF));
        }
        return true;
    }
    if (!hexTag(d, j, type)) {
        return false;
    }
    bytes.clear();
    for (;;) {
        skipBlanks(d, j);
        if (j == d.size()) {
            return true;
        }
        if (!readHex(d, j, 2, n)) {
            return false;
        }
        bytes.push_back(static_cast<char>(n));
        skipBlanks(d, j);
        if (j == d.size()) {
            return true;
        }
        if (d[j++] != ',') {
            return false;
        }
    }
}

/// True when a value line's hex data goes on in the next line: the bytes read so far end
/// with a "\" (and nothing after it but blanks), as Wine reads them.
bool continues(std::string_view logical) {
    std::u16string name;
    std::size_t j = dataStart(logical, name);
    if (j == std::string_view::npos) {
        return false;
    }
    std::string_view d = logical.substr(j);
    std::uint32_t type = 0;
    std::uint64_t n = 0;
    j = 0;
    if (!hexTag(d, j, type)) {
        return false;
    }
    for (;;) {
        skipBlanks(d, j);
        if (j < d.size() && d[j] == '\\') {
            return onlyBlanksFrom(d, j + 1);
        }
        if (!readHex(d, j, 2, n)) {
            return false;
        }
        skipBlanks(d, j);
        if (j < d.size() && d[j] == '\\') {
            return onlyBlanksFrom(d, j + 1);
        }
        if (j >= d.size() || d[j++] != ',') {
            return false;
        }
    }
}

}  // namespace

WineRegFile::WineRegFile() : root_(std::make_unique<Node>()) {}
WineRegFile::WineRegFile(WineRegFile&&) noexcept = default;
WineRegFile& WineRegFile::operator=(WineRegFile&&) noexcept = default;
WineRegFile::~WineRegFile() = default;

std::optional<WineRegFile> WineRegFile::parse(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl + 1;
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end;
    }
    if (lines.empty() || withoutEol(lines[0]) != kHeader) {
        return std::nullopt;
    }
    WineRegFile file;
    if (!eolOf(lines[0]).empty()) {
        file.eol_ = std::string(eolOf(lines[0]));
    }
    Block* current = nullptr;
    bool inMeta = false;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string_view line = lines[k];
        // Wine reads a line from its first character that is no blank.
        std::string_view body = withoutEol(line);
        std::size_t indent = 0;
        skipBlanks(body, indent);
        const std::string_view lineStart = body;
        body.remove_prefix(indent);
        if (body.starts_with('[')) {
            Block& b = file.blocks_.emplace_back();
            b.keyLine = std::string(line);
            std::size_t i = indent + 1;
            std::u16string path;
            std::optional<std::string> utf8;
            if (unescape(lineStart, i, ']', path) && (utf8 = narrow(path))) {
                bool made = false;
                b.node = file.makeNode(*utf8, made);
                b.pathEnd = i;
            }
            if (b.node != nullptr) {
                b.node->blocks.push_back(&b);
            }
            current = &b;
            inMeta = true;
            continue;
        }
        if (current == nullptr) {
            file.preamble_ += line;
            if (body.starts_with(kRelativeTo)) {
                file.relativeTo_ = text::replaceAll(body.substr(kRelativeTo.size()), "\\\\", "\\");
            }
            continue;
        }
        if (inMeta && body.starts_with('#')) {
            current->meta.emplace_back(line);
            continue;
        }
        inMeta = false;
        Item& item = current->items.emplace_back();
        item.raw = std::string(line);
        if (!body.starts_with('"') && !body.starts_with('@')) {
            continue;
        }
        std::string logical(body);
        while (continues(logical) && k + 1 < lines.size()) {
            logical.erase(logical.find_last_of('\\'));
            std::string_view next = withoutEol(lines[++k]);
            std::size_t b = 0;
            skipBlanks(next, b);
            logical += next.substr(b);
            item.raw += lines[k];
        }
        std::u16string name;
        std::uint32_t type = 0;
        std::string data;
        if (!parseValue(logical, name, type, data)) {
            continue;
        }
        if (auto n = narrow(name)) {
            item.isValue = true;
            item.name = std::move(*n);
            item.folded = text::toLower(item.name);
            item.value = fromStored(type, std::move(data));
        }
    }
    return file;
}

std::string WineRegFile::text() const {
    std::string out = preamble_;
    for (const Block& b : blocks_) {
        out += b.lead;
        out += b.keyLine;
        for (const auto& m : b.meta) {
            out += m;
        }
        for (const auto& item : b.items) {
            out += item.raw;
        }
    }
    return out;
}

WineRegFile::Node* WineRegFile::findNode(std::string_view path) const {
    Node* node = root_.get();
    for (std::string_view part : keyPathParts(path)) {
        auto it = node->children.find(text::toLower(part));
        if (it == node->children.end()) {
            return nullptr;
        }
        node = it->second.get();
    }
    return node;
}

WineRegFile::Node* WineRegFile::makeNode(std::string_view path, bool& made) {
    Node* node = root_.get();
    for (std::string_view part : keyPathParts(path)) {
        std::string folded = text::toLower(part);
        auto it = node->children.find(folded);
        if (it == node->children.end()) {
            auto child = std::make_unique<Node>();
            child->name = std::string(part);
            child->folded = folded;
            child->parent = node;
            it = node->children.emplace(std::move(folded), std::move(child)).first;
            made = true;
        }
        node = it->second.get();
    }
    return node;
}

std::string WineRegFile::pathOf(const Node& node) const {
    std::string path;
    for (const Node* n = &node; n != nullptr && n != root_.get(); n = n->parent) {
        path.insert(0, path.empty() ? n->name : n->name + "\\");
    }
    return path;
}

void WineRegFile::formatKeyLine(Block& block, const Node& node) {
    std::string line = "[";
    bool first = true;
    const std::string path = pathOf(node);
    for (std::string_view part : keyPathParts(path)) {
        if (!first) {
            line += "\\\\";
        }
        first = false;
        escapeInto(line, wide(part), "[]");
    }
    line += "]";
    block.keyLine = line + eol_;
    block.pathEnd = line.size();
}

void WineRegFile::stamp(Block& block, std::int64_t now) {
    std::string eol(eolOf(block.keyLine));
    block.keyLine = block.keyLine.substr(0, block.pathEnd) + " " + std::to_string(now) +
                    (eol.empty() ? eol_ : eol);
    const auto ticks = static_cast<std::uint64_t>(now + kEpochDelta) * 10000000u;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%x%08x", static_cast<unsigned>(ticks >> 32),
                  static_cast<unsigned>(ticks & 0xFFFFFFFFu));
    for (auto& m : block.meta) {
        if (m.starts_with(kTime)) {
            std::string_view e = eolOf(m);
            m = std::string(kTime) + buf + std::string(e.empty() ? eol_ : e);
            return;
        }
    }
    block.meta.insert(block.meta.begin(), std::string(kTime) + buf + eol_);
}

WineRegFile::Block& WineRegFile::newBlock(Node& node, std::list<Block>::iterator before,
                                          std::int64_t now) {
    // The text before the new key ends with a line end and, as Wine writes keys, a blank
    // line.
    std::string* last = &preamble_;
    if (before != blocks_.begin()) {
        Block& prev = *std::prev(before);
        last = !prev.items.empty()  ? &prev.items.back().raw
               : !prev.meta.empty() ? &prev.meta.back()
                                    : &prev.keyLine;
    }
    if (!last->empty() && last->back() != '\n') {
        *last += eol_;
    }
    Block& b = *blocks_.emplace(before);
    b.lead = last->empty() || endsWithEmptyLine(*last) ? "" : eol_;
    b.node = &node;
    formatKeyLine(b, node);
    stamp(b, now);
    if (before != blocks_.end()) {
        b.items.emplace_back().raw = eol_;
    }
    node.blocks.push_back(&b);
    changed_ = true;
    return b;
}

bool WineRegFile::keyExists(std::string_view path) const {
    return findNode(path) != nullptr;
}

std::optional<RegValue> WineRegFile::value(std::string_view path, std::string_view name) const {
    const Node* node = findNode(path);
    if (node == nullptr) {
        return std::nullopt;
    }
    const std::string folded = text::toLower(name);
    std::optional<RegValue> found;
    // A name given twice counts as Wine counts it: the later one.
    for (const Block* b : node->blocks) {
        for (const Item& item : b->items) {
            if (item.isValue && item.folded == folded) {
                found = item.value;
            }
        }
    }
    return found;
}

std::optional<std::vector<std::string>> WineRegFile::subkeys(std::string_view path) const {
    const Node* node = findNode(path);
    if (node == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const auto& [folded, child] : node->children) {
        names.push_back(child->name);
    }
    return names;
}

std::optional<std::vector<std::string>> WineRegFile::valueNames(std::string_view path) const {
    const Node* node = findNode(path);
    if (node == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const Block* b : node->blocks) {
        for (const Item& item : b->items) {
            if (item.isValue && seen.insert(item.folded).second) {
                names.push_back(item.name);
            }
        }
    }
    return names;
}

bool WineRegFile::createKey(std::string_view path, std::int64_t now) {
    bool made = false;
    Node* node = makeNode(path, made);
    if (made) {
        newBlock(*node, blocks_.end(), now);
    }
    return true;
}

bool WineRegFile::setValue(std::string_view path, std::string_view name, const RegValue& value,
                           std::int64_t now) {
    bool made = false;
    Node* node = makeNode(path, made);
    const std::string folded = text::toLower(name);
    bool found = false;
    for (Block* b : node->blocks) {
        for (Item& item : b->items) {
            if (!item.isValue || item.folded != folded) {
                continue;
            }
            found = true;
            std::string raw = formatValue(item.name, value, eol_);
            if (raw != item.raw) {
                item.raw = std::move(raw);
                item.value = value;
                stamp(*b, now);
                changed_ = true;
            }
        }
    }
    if (found) {
        return true;
    }
    Block& b = node->blocks.empty() ? newBlock(*node, blocks_.end(), now) : *node->blocks.back();
    // After the key's last value, before the blank line that ends the key.
    std::size_t at = 0;
    for (std::size_t k = 0; k < b.items.size(); ++k) {
        if (b.items[k].isValue) {
            at = k + 1;
        }
    }
    std::string& before = at > 0 ? b.items[at - 1].raw : b.meta.empty() ? b.keyLine : b.meta.back();
    if (before.back() != '\n') {
        before += eol_;
    }
    Item item;
    item.raw = formatValue(name, value, eol_);
    item.isValue = true;
    item.name = std::string(name);
    item.folded = folded;
    item.value = value;
    b.items.insert(b.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    stamp(b, now);
    changed_ = true;
    return true;
}

bool WineRegFile::deleteValue(std::string_view path, std::string_view name, std::int64_t now) {
    Node* node = findNode(path);
    if (node == nullptr) {
        return false;
    }
    const std::string folded = text::toLower(name);
    bool found = false;
    for (Block* b : node->blocks) {
        const auto count = b->items.size();
        std::erase_if(b->items,
                      [&](const Item& item) { return item.isValue && item.folded == folded; });
        if (b->items.size() != count) {
            found = true;
            stamp(*b, now);
        }
    }
    changed_ = changed_ || found;
    return found;
}

bool WineRegFile::deleteTree(std::string_view path, std::int64_t now) {
    Node* node = findNode(path);
    if (node == nullptr || node == root_.get()) {
        return false;
    }
    std::unordered_set<const Block*> doomed;
    std::vector<const Node*> pending{node};
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        doomed.insert(n->blocks.begin(), n->blocks.end());
        for (const auto& [folded, child] : n->children) {
            pending.push_back(child.get());
        }
    }
    // The key above, when it existed only through this one, takes the place of the first
    // line removed.
    auto insertAt = blocks_.end();
    bool looking = false;
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (doomed.count(&*it) != 0) {
            it = blocks_.erase(it);
            looking = looking || insertAt == blocks_.end();
            continue;
        }
        if (looking) {
            insertAt = it;
            looking = false;
        }
        ++it;
    }
    Node* parent = node->parent;
    parent->children.erase(node->folded);
    if (parent != root_.get() && parent->blocks.empty() && parent->children.empty()) {
        newBlock(*parent, insertAt, now);
    } else if (insertAt == blocks_.end() && !blocks_.empty()) {
        // The file's last keys went: the blank line that led to them goes as well.
        auto& items = blocks_.back().items;
        if (!items.empty() && !items.back().isValue && withoutEol(items.back().raw).empty()) {
            items.pop_back();
        }
    }
    changed_ = true;
    return true;
}

}  // namespace nightjar::platform::posix
