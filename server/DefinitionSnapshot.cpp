#include "DefinitionSnapshot.h"

#include <algorithm>
#include <optional>

#include "DefinitionKind.h"
#include "ServerDate.h"
#include "ServerLayoutFiles.h"
#include "UpdateTextBuilder.h"
#include "util/Text.h"

namespace nightjar::server {

DefinitionSnapshot::DefinitionSnapshot(std::vector<DefinitionRow> rows, std::int64_t generation)
    : rows_(std::move(rows)), generation_(generation), currentDate_(0), earliest_(0) {
    bool any = false;
    for (const DefinitionRow& r : rows_) {
        currentDate_ = any ? std::max(currentDate_, r.addedAt) : r.addedAt;
        earliest_ = any ? std::min(earliest_, r.addedAt) : r.addedAt;
        any = true;
        if (r.withdrawnAt) {
            currentDate_ = std::max(currentDate_, *r.withdrawnAt);
        }
        if (r.current()) {
            if (const std::optional<DefinitionKind> k = DefinitionKind::parse(r.kind)) {
                if (std::string name = k->fileName(r.body); !name.empty()) {
                    fileNames_.insert(std::move(name));
                }
            }
        }
    }
    if (!any) {
        currentDate_ = ServerDate::defaultClientDate();
    }
}

std::shared_ptr<const std::string> DefinitionSnapshot::updateText(std::int64_t since) const {
    // Every date before the first change (or after the last) asks for the same text.
    since = std::clamp(since, earliest_ - 1, std::max(currentDate_, earliest_ - 1));
    {
        std::lock_guard lock(cacheMutex_);
        if (auto it = texts_.find(since); it != texts_.end()) {
            return it->second;
        }
    }
    // Built outside the lock: two threads may build the same text once each, which is
    // cheaper than making every reader wait.
    auto text = std::make_shared<const std::string>(
        UpdateTextBuilder::wireText(UpdateTextBuilder::plan(rows_, since)));
    std::lock_guard lock(cacheMutex_);
    if (texts_.size() >= kMaxCachedTexts) {
        texts_.clear();
    }
    texts_.emplace(since, text);
    return text;
}

std::shared_ptr<const std::string> DefinitionSnapshot::layoutFile(
    const std::string& relativePath) const {
    const std::string lower = text::toLower(relativePath);
    {
        std::lock_guard lock(cacheMutex_);
        if (auto it = layout_.find(lower); it != layout_.end()) {
            return it->second;
        }
    }
    std::shared_ptr<const std::string> content;
    if (text::istartsWith(relativePath, "data/")) {
        if (const std::optional<TargetFile> f =
                ServerLayoutFiles::dataFile(relativePath.substr(5))) {
            content =
                std::make_shared<const std::string>(ServerLayoutFiles::dataFileText(rows_, *f));
        }
    } else if (text::istartsWith(relativePath, "version/")) {
        if (const std::optional<TargetFile> f =
                ServerLayoutFiles::versionFile(relativePath.substr(8))) {
            content = std::make_shared<const std::string>(
                ServerLayoutFiles::versionFileText(rows_, *f, ServerDate::text(currentDate_)));
        }
    }
    if (!content) {
        return nullptr;
    }
    std::lock_guard lock(cacheMutex_);
    layout_.emplace(lower, content);
    return content;
}

}  // namespace nightjar::server
