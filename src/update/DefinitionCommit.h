#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace nightjar::update {

/// Puts a set of new definition files in place together, or leaves every file as it was.
///
/// The new content of each file is written aside first (a replacing writer, staged here).
/// Commit() copies every file it will replace to a backup beside it, writes a journal that
/// names the files and the definitions date they belong with, then renames the new files
/// into place; when one rename fails, the files renamed before it are put back. The backups
/// stay until Finish(), so that the caller can still roll back when storing the new
/// definitions date fails. A run that ends between Commit() and Finish() leaves the
/// journal behind: Recover(), at the start of the next update, puts the old files back
/// while the stored date is still the journal's, and otherwise only clears up.
class DefinitionCommit {
  public:
    static constexpr std::string_view kJournal = "update.journal";
    static constexpr std::string_view kBackupSuffix = ".bak";

    DefinitionCommit(platform::FileSystem& fs, std::string dataFolder);

    /// Adds the new content of the file `name` of the data folder, written, not committed.
    void Stage(std::string_view name, std::unique_ptr<platform::OutputFile> content);
    bool empty() const { return files_.empty(); }

    /// Puts every staged file in place. False when that failed; then every file is as it
    /// was, or, when even putting them back failed, the journal is left for Recover().
    bool Commit();
    /// The file whose backup or rename failed in the last Commit(), empty when none did.
    const std::string& failedFile() const { return failed_; }
    /// Puts back every file Commit() replaced (and removes the ones it created). False
    /// when one could not be put back; the journal is then left for Recover().
    bool Rollback();
    /// Makes the commit final: the journal and the backups go.
    void Finish();
    /// Clears up after a run that ended between Commit() and Finish(): rolls back when the
    /// stored definitions date is still the one the journal names. False when old files
    /// had to be put back and could not be.
    bool Recover();

  private:
    struct File {
        std::string name;
        bool existed = false;
        std::unique_ptr<platform::OutputFile> content;
    };

    std::string path(std::string_view name) const;
    std::string backup(std::string_view name) const;
    bool restore(const std::vector<File>& files);

    platform::FileSystem& fs_;
    std::string dataFolder_;
    std::vector<File> files_;
    std::string failed_;
};

}  // namespace nightjar::update
