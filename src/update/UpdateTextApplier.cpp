#include "update/UpdateTextApplier.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "update/DefinitionCommit.h"
#include "util/LineReader.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar::update {

namespace {

using definitions::ScrambleLine;
using definitions::UnscrambleLine;

enum class LineForm { Encoded, Registry, CookieKey, Safety };

struct Pass {
    std::string_view file;
    LineForm form;
    bool (*accepts)(std::string_view marker);
};

bool acceptsFile(std::string_view m) {
    return m == "FILE" || m == "EXE" || m == "DLL";
}
bool acceptsExe(std::string_view m) {
    return m == "EXE";
}
bool acceptsReg(std::string_view m) {
    return m == "REG";
}
bool acceptsCookie(std::string_view m) {
    return m == "COOK";
}
bool acceptsDir(std::string_view m) {
    return m == "DIR";
}
bool acceptsSafety(std::string_view m) {
    return m.find_first_of("Ss") != std::string_view::npos;
}

// The six passes, in the order the files are processed.
constexpr std::array<Pass, 6> kPasses = {{
    {definitions::kFileDefinition, LineForm::Encoded, acceptsFile},
    {definitions::kExeDefinition, LineForm::Encoded, acceptsExe},
    {definitions::kRegistryDefinition, LineForm::Registry, acceptsReg},
    {definitions::kBlockedCookies, LineForm::CookieKey, acceptsCookie},
    {definitions::kDirectoryDefinition, LineForm::Encoded, acceptsDir},
    {definitions::kSafety, LineForm::Safety, acceptsSafety},
}};

// Stored forms of the separators: a stored line is scrambled as a whole, separators included.
const char kStoredBar = ScrambleLine("|")[0];
const char kStoredEquals = ScrambleLine("=")[0];

/// One record of the update text, taken apart once for all six passes.
struct Record {
    std::string marker;  ///< decoded kind marker
    bool hasOperation = false;
    bool hasBody = false;
    std::string operation;
    std::string body;
    bool malformed() const { return !hasOperation || !hasBody; }
};

std::vector<Record> parseRecords(std::string_view updateText) {
    std::vector<Record> records;
    for (const std::string& raw : text::isplit(updateText, "[BR]")) {
        std::string rec = text::trim(raw);
        if (rec.empty()) {
            continue;
        }
        Record r;
        std::string_view view(rec);
        std::size_t def = view.find("[DEF]");
        std::string_view header = view.substr(0, def);
        if (def != std::string_view::npos) {
            r.hasBody = true;
            std::string_view rest = view.substr(def + 5);
            // The body is the second "[DEF]"-separated part; anything after a further marker
            // is not part of it.
            r.body = std::string(rest.substr(0, rest.find("[DEF]")));
        }
        std::size_t bar = header.find('|');
        r.marker = UnscrambleLine(header.substr(0, bar));
        if (bar != std::string_view::npos) {
            r.hasOperation = true;
            std::string_view op = header.substr(bar + 1);
            r.operation = std::string(op.substr(0, op.find('|')));
        }
        records.push_back(std::move(r));
    }
    return records;
}

/// The body with its unencoded separators put into stored form.
std::string encodeSeparators(std::string_view body) {
    std::string out(body);
    for (char& c : out) {
        if (c == '|') {
            c = kStoredBar;
        } else if (c == '=') {
            c = kStoredEquals;
        }
    }
    return out;
}

std::string_view keyOf(std::string_view body) {
    return body.substr(0, body.find('='));
}

/// Element `i` of `s` split at `sep`, empty when there are fewer elements.
std::string_view element(std::string_view s, char sep, std::size_t i) {
    for (; i > 0; --i) {
        std::size_t p = s.find(sep);
        if (p == std::string_view::npos) {
            return {};
        }
        s.remove_prefix(p + 1);
    }
    return s.substr(0, s.find(sep));
}

std::string lineFor(LineForm form, const Record& r) {
    switch (form) {
        case LineForm::Encoded:
            return encodeSeparators(r.body);
        case LineForm::Registry: {
            // parts 0, 1, 2 of the body; part 0 is name=value and only the value is stored.
            // Missing parts count as empty. A key path may hold "=", which travels
            // unencoded like every separator; it is stored encoded so that it reads back
            // as "=" (raw, it would read back as "}").
            std::string_view body(r.body);
            std::string_view value = element(element(body, '|', 0), '=', 1);
            std::string line = encodeSeparators(element(body, '|', 1));
            line += ScrambleLine("^=");
            line += value;
            line += kStoredBar;
            line += encodeSeparators(element(body, '|', 2));
            return line;
        }
        case LineForm::CookieKey:
            return std::string(keyOf(r.body));
        case LineForm::Safety:
            return encodeSeparators(r.body) + ScrambleLine("|" + r.marker);
    }
    return {};
}

/// Reads one file, then a text: the file as it would read after the text was appended.
class AppendedInput : public platform::InputFile {
  public:
    AppendedInput(std::unique_ptr<platform::InputFile> file, std::string_view tail)
        : file_(std::move(file)), tail_(tail) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (file_) {
            std::size_t n = file_->read(buffer, size);
            if (n > 0) {
                fileBytes_ += n;
                return n;
            }
            file_.reset();
        }
        std::size_t n = std::min(size, tail_.size());
        std::copy_n(tail_.data(), n, buffer);
        tail_.remove_prefix(n);
        return n;
    }
    std::uint64_t fileBytes() const { return fileBytes_; }

  private:
    std::unique_ptr<platform::InputFile> file_;
    std::string_view tail_;
    std::uint64_t fileBytes_ = 0;
};

/// Collects output and hands it to the writer in large blocks.
class BufferedWriter {
  public:
    explicit BufferedWriter(platform::OutputFile& out) : out_(out) {}
    void write(std::string_view data) {
        buf_.append(data);
        if (buf_.size() >= kBlock) {
            flush();
        }
    }
    bool flush() {
        if (!buf_.empty()) {
            ok_ = ok_ && out_.write(buf_);
            buf_.clear();
        }
        return ok_;
    }

  private:
    static constexpr std::size_t kBlock = 1 << 20;
    platform::OutputFile& out_;
    std::string buf_;
    bool ok_ = true;
};

/// A decoded key as keys are compared: in the engine's text with its letter case folded, so
/// a withdrawal matches its entry however the Latin letters of either are written.
std::string comparableKey(std::string_view decodedKey) {
    return text::toLower(text::windows1252ToUtf8(decodedKey));
}

/// Comparable key of a stored line (its text before the first stored "="), into `key`;
/// `decoded` is scratch room. Both keep their storage from line to line.
void storedKey(std::string_view line, std::string& decoded, std::string& key) {
    const std::string_view stored = line.substr(0, line.find(kStoredEquals));
    decoded.resize(stored.size());
    std::transform(stored.begin(), stored.end(), decoded.begin(), definitions::UnscrambleChar);
    // ASCII text is its own UTF-8.
    if (text::isAscii(decoded)) {
        text::lowerInto(key, decoded);
    } else {
        text::lowerInto(key, text::windows1252ToUtf8(decoded));
    }
}

}  // namespace

UpdateTextApplier::UpdateTextApplier(platform::FileSystem& fs, std::string dataFolder,
                                     UpdateObserver& observer)
    : fs_(fs), dataFolder_(std::move(dataFolder)), observer_(observer) {}

ApplyResult UpdateTextApplier::ApplyUpdateText(std::string_view updateText) {
    DefinitionCommit commit(fs_, dataFolder_);
    ApplyResult result = ApplyUpdateText(updateText, commit);
    if (result.complete) {
        commit.Finish();
    }
    return result;
}

ApplyResult UpdateTextApplier::ApplyUpdateText(std::string_view updateText,
                                               DefinitionCommit& commit) {
    const std::vector<Record> records = parseRecords(updateText);
    ApplyResult result;
    auto fail = [&result](std::string_view file) {
        result.count = 0;
        result.complete = false;
        result.failedFile = std::string(file);
        return result;
    };
    for (const Record& r : records) {
        const bool accepted = std::any_of(kPasses.begin(), kPasses.end(),
                                          [&r](const Pass& p) { return p.accepts(r.marker); });
        if (accepted && r.malformed()) {
            ++result.skipped;
        }
    }

    // Sizes of the files as the folder lists them: a read that stops short (which the reader
    // reports like an end of file) must not pass for the whole file.
    std::unordered_map<std::string, std::uint64_t> sizes;
    if (auto entries = fs_.list(dataFolder_)) {
        for (const auto& e : *entries) {
            if (!e.isDirectory()) {
                sizes[text::toLower(e.name)] = e.size;
            }
        }
    }

    // Each pass writes its file's new content aside; nothing is renamed into place until
    // every pass has succeeded.
    std::uint64_t cadence = 0;  // lines read by the removal steps of this call
    long count = 0;

    for (const Pass& pass : kPasses) {
        std::string appended;
        long added = 0;
        // PendingDeletions: DEL bodies keyed by their lower-cased text (so an ADD can drop
        // every entry equal to its key, letter case ignored), each bucket holding the bodies
        // as sent.
        std::unordered_map<std::string, std::vector<std::string>> pending;
        for (const Record& r : records) {
            if (!pass.accepts(r.marker) || r.malformed()) {
                continue;  // a malformed record is counted as skipped above
            }
            if (r.operation == "ADD") {
                appended += lineFor(pass.form, r);
                appended += "\r\n";
                ++added;
                if (r.body.find('=') != std::string::npos) {
                    pending.erase(text::toLower(keyOf(r.body)));
                }
            } else if (r.operation == "DEL") {
                pending[text::toLower(r.body)].push_back(r.body);
            }
        }
        observer_.status(kApplying);
        observer_.pump();

        const std::string path = definitions::DataFile(dataFolder_, pass.file);
        const auto attributes = fs_.attributes(path);
        if (attributes && added == 0 && pending.empty()) {
            continue;  // the file would not change (a missing one is still created)
        }
        if (attributes && (*attributes & platform::attr::Directory) != 0) {
            return fail(pass.file);
        }
        std::unique_ptr<platform::InputFile> old;
        if (attributes) {
            old = fs_.openRead(path);
            if (!old) {
                return fail(pass.file);
            }
        }
        auto out = fs_.openReplace(path);
        if (!out) {
            return fail(pass.file);
        }
        auto input = std::make_unique<AppendedInput>(std::move(old), appended);
        const AppendedInput* counted = input.get();
        std::uint64_t oldBytes = 0;
        BufferedWriter writer(*out);

        if (pending.empty()) {
            // Appending only: the old bytes unchanged, then the new lines, exactly as
            // appending to the file would leave it.
            char block[1 << 14];
            for (;;) {
                std::size_t n = input->read(block, sizeof block);
                if (n == 0) {
                    break;
                }
                writer.write(std::string_view(block, n));
            }
            oldBytes = counted->fileBytes();
        } else {
            // Removing outdated entries: every line of old content + appended lines whose
            // decoded key (lower case) is the decoded key of a pending deletion is dropped,
            // and so are empty lines. The keys go into a hash set, so each line costs one
            // lookup however many deletions are pending.
            std::unordered_set<std::string> doomed;
            for (const auto& bucket : pending) {
                for (const std::string& body : bucket.second) {
                    doomed.insert(comparableKey(UnscrambleLine(keyOf(body))));
                }
            }
            ++added;  // one for the file whose outdated entries were removed
            LineReader reader(std::move(input), LineReader::Breaks::CrLf);
            std::string line;
            std::string decoded;
            std::string key;
            std::size_t lineNo = 0;
            while (reader.next(line)) {
                ++lineNo;
                if (++cadence % 100 == 0) {
                    observer_.status(std::string(kChecking) + std::to_string(lineNo));
                    observer_.pump();
                }
                if (line.empty()) {
                    continue;
                }
                storedKey(line, decoded, key);
                if (doomed.count(key) != 0) {
                    continue;
                }
                writer.write(line);
                writer.write("\r\n");
            }
            oldBytes = counted->fileBytes();  // the reader still owns the input here
        }
        if (!writer.flush()) {
            return fail(pass.file);
        }
        if (attributes) {
            auto known = sizes.find(text::toLower(pass.file));
            if (known != sizes.end() && oldBytes < known->second) {
                return fail(pass.file);
            }
        }
        count += added;
        commit.Stage(pass.file, std::move(out));
    }
    if (result.skipped > 0) {
        observer_.status(std::string(kSkipped) + std::to_string(result.skipped));
        observer_.pump();
    }

    if (!commit.empty() && !commit.Commit()) {
        return fail(commit.failedFile());  // every file is as it was
    }
    // Older versions staged removals through temp.dat; a copy left behind by an interrupted
    // run is of no use to anyone.
    const std::string temp = definitions::DataFile(dataFolder_, definitions::kTempFile);
    if (!commit.empty() && fs_.exists(temp)) {
        fs_.deleteFile(temp);
    }
    result.count = count;
    return result;
}

}  // namespace nightjar::update
