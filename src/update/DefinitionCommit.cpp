#include "update/DefinitionCommit.h"

#include "definitions/DefinitionFiles.h"
#include "update/DefinitionsDate.h"
#include "util/Text.h"

namespace nightjar::update {

namespace {
// Journal lines: the definitions date, then one line per file: "+" for a file that existed
// (it has a backup), "-" for one the commit creates, followed by the file name.
constexpr char kExisted = '+';
constexpr char kCreated = '-';
}  // namespace

DefinitionCommit::DefinitionCommit(platform::FileSystem& fs, std::string dataFolder)
    : fs_(fs), dataFolder_(std::move(dataFolder)) {}

std::string DefinitionCommit::path(std::string_view name) const {
    return definitions::DataFile(dataFolder_, name);
}

std::string DefinitionCommit::backup(std::string_view name) const {
    return path(std::string(name) + std::string(kBackupSuffix));
}

void DefinitionCommit::Stage(std::string_view name, std::unique_ptr<platform::OutputFile> content) {
    files_.push_back({std::string(name), false, std::move(content)});
}

bool DefinitionCommit::Commit() {
    std::string journal = DefinitionsDate(fs_, dataFolder_).ReadDefinitionsDate() + "\r\n";
    for (File& f : files_) {
        f.existed = fs_.exists(path(f.name));
        if (f.existed && !fs_.copyFile(path(f.name), backup(f.name), true)) {
            failed_ = f.name;
            return false;  // nothing replaced yet
        }
        journal += (f.existed ? kExisted : kCreated) + f.name + "\r\n";
    }
    if (!fs_.writeAll(path(kJournal), journal)) {
        failed_ = kJournal;
        return false;
    }
    for (File& f : files_) {
        if (!f.content->commit()) {
            failed_ = f.name;
            Rollback();
            return false;
        }
    }
    return true;
}

bool DefinitionCommit::restore(const std::vector<File>& files) {
    bool ok = true;
    for (const File& f : files) {
        if (f.existed) {
            // The backup is a whole copy: moving it back is right whether or not the new
            // file was already in place.
            if (fs_.exists(backup(f.name)) && !fs_.moveFile(backup(f.name), path(f.name))) {
                ok = false;
            }
        } else if (fs_.exists(path(f.name)) && !fs_.deleteFile(path(f.name))) {
            ok = false;
        }
    }
    if (ok) {
        fs_.deleteFile(path(kJournal));
    }
    return ok;
}

bool DefinitionCommit::Rollback() {
    return restore(files_);
}

void DefinitionCommit::Finish() {
    // The journal goes first: without it, a left-over backup is never put back.
    fs_.deleteFile(path(kJournal));
    for (const File& f : files_) {
        if (f.existed) {
            fs_.deleteFile(backup(f.name));
        }
    }
    files_.clear();
}

bool DefinitionCommit::Recover() {
    std::string journal;
    if (!fs_.exists(path(kJournal)) || !fs_.readAll(path(kJournal), journal)) {
        return true;
    }
    std::vector<std::string> lines = text::split(journal, "\r\n");
    std::vector<File> files;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() > 1 && (line[0] == kExisted || line[0] == kCreated)) {
            files.push_back({line.substr(1), line[0] == kExisted, nullptr});
        }
    }
    const std::string date = DefinitionsDate(fs_, dataFolder_).ReadDefinitionsDate();
    if (!lines.empty() && date == lines[0]) {
        return restore(files);  // the date was not stored: the update never happened
    }
    fs_.deleteFile(path(kJournal));
    for (const File& f : files) {
        if (f.existed) {
            fs_.deleteFile(backup(f.name));
        }
    }
    return true;
}

}  // namespace nightjar::update
