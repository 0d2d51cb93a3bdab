#include "AdminTool.h"

#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "DefinitionKind.h"
#include "DefinitionSnapshot.h"
#include "ServerDate.h"
#include "UpdateTextBuilder.h"
#include "definitions/ThreatCatalog.h"
#include "util/Text.h"

namespace nightjar::server {

namespace {

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return !in.bad();
}

}  // namespace

AdminTool::AdminTool(DefinitionStore& store, std::ostream& out, std::ostream& err)
    : store_(store), out_(out), err_(err) {}

int AdminTool::importFile(const std::string& kind, const std::string& path) {
    std::string content;
    if (!readWholeFile(path, content)) {
        err_ << "cannot read " << path << "\n";
        return 1;
    }
    std::vector<std::string> bodies;
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string body = DefinitionKind::normalizeBody(line);
        if (!body.empty() && body.front() != '#') {
            bodies.push_back(body);
        }
    }
    return addBodies(kind, bodies);
}

int AdminTool::add(const std::string& kind, const std::string& body) {
    return addBodies(kind, {DefinitionKind::normalizeBody(body)});
}

int AdminTool::addBodies(const std::string& kindText, const std::vector<std::string>& bodies) {
    const std::optional<DefinitionKind> kind = DefinitionKind::parse(kindText);
    if (!kind) {
        err_ << "unknown kind " << kindText << "\n";
        return 2;
    }
    // All or nothing: one bad line refuses the whole import.
    bool bad = false;
    for (const std::string& body : bodies) {
        if (std::string why = kind->validate(body); !why.empty()) {
            err_ << "invalid " << kind->marker() << " entry \"" << body << "\": " << why << "\n";
            bad = true;
        }
    }
    if (bad) {
        return 2;
    }
    const DefinitionStore::AddOutcome outcome =
        store_.add(kind->marker(), bodies, ServerDate::now());
    if (!outcome.ok) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    for (const std::string& body : outcome.skipped) {
        err_ << "already present: " << kind->marker() << " " << body << "\n";
    }
    std::optional<std::vector<DefinitionRow>> current = store_.rows(false);
    if (current && !outcome.added.empty()) {
        warnAboutAdded(outcome.added, *current);
    }
    out_ << "added " << outcome.added.size() << " " << kind->marker() << " entries at "
         << ServerDate::text(outcome.stamp) << "\n";
    return 0;
}

void AdminTool::warnAboutAdded(const std::vector<std::int64_t>& added,
                               const std::vector<DefinitionRow>& current) {
    // Each current entry is read once, into the keys the client removes by, per file; an
    // added entry then finds the others sharing its key by one look-up per file.
    std::map<std::string, std::optional<DefinitionKind>> kinds;
    const auto kindOf = [&](const std::string& marker) -> const std::optional<DefinitionKind>& {
        auto it = kinds.find(marker);
        if (it == kinds.end()) {
            it = kinds.emplace(marker, DefinitionKind::parse(marker)).first;
        }
        return it->second;
    };
    const auto indexKey = [](TargetFile f, std::string_view storedLine) {
        return static_cast<char>('0' + static_cast<int>(f)) +
               DefinitionKind::removalKey(storedLine);
    };
    std::unordered_map<std::string, std::vector<std::int64_t>> byKey;
    byKey.reserve(current.size());
    for (const DefinitionRow& r : current) {
        if (const std::optional<DefinitionKind>& k = kindOf(r.kind)) {
            for (const TargetFile f : k->targets()) {
                byKey[indexKey(f, k->storedLine(r.body, f))].push_back(r.id);
            }
        }
    }
    const std::unordered_set<std::int64_t> isAdded(added.begin(), added.end());
    for (const DefinitionRow& r : current) {
        const std::optional<DefinitionKind>& kind = kindOf(r.kind);
        if (!isAdded.contains(r.id) || !kind) {
            continue;
        }
        const std::string type = kind->threatType(r.body);
        if (!type.empty() && type != "TYPE" && !definitions::LookupThreatType(type)) {
            err_ << "warning: #" << r.id << " has a threat type the catalog does not know: \""
                 << type << "\"\n";
        }
        for (const TargetFile f : kind->targets()) {
            for (const std::int64_t other : byKey[indexKey(f, kind->storedLine(r.body, f))]) {
                if (other != r.id) {
                    err_ << "warning: #" << r.id << " shares its key with #" << other << " in "
                         << TargetFileName(f)
                         << "; clients remove by key, so withdrawing either is held back from "
                            "clients that hold both\n";
                }
            }
        }
    }
}

int AdminTool::withdraw(const std::string& kindText, const std::string& body) {
    const std::optional<DefinitionKind> kind = DefinitionKind::parse(kindText);
    if (!kind) {
        err_ << "unknown kind " << kindText << "\n";
        return 2;
    }
    const std::optional<int> n =
        store_.withdraw(kind->marker(), DefinitionKind::normalizeBody(body), ServerDate::now());
    if (!n) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    if (*n == 0) {
        err_ << "no current " << kind->marker() << " entry is \"" << body << "\"\n";
        return 1;
    }
    out_ << "withdrew " << *n << " entries\n";
    return 0;
}

int AdminTool::withdrawId(std::int64_t id) {
    const std::optional<int> n = store_.withdrawById(id, ServerDate::now());
    if (!n) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    if (*n == 0) {
        err_ << "no current entry has the id " << id << "\n";
        return 1;
    }
    out_ << "withdrew entry #" << id << "\n";
    return 0;
}

int AdminTool::list(bool all) {
    const std::optional<std::vector<DefinitionRow>> rows = store_.rows(all);
    if (!rows) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    for (const DefinitionRow& r : *rows) {
        out_ << r.id << "\t" << r.kind << "\t" << ServerDate::text(r.addedAt) << "\t"
             << (r.withdrawnAt ? ServerDate::text(*r.withdrawnAt) : std::string("-")) << "\t"
             << r.body << "\n";
    }
    return 0;
}

int AdminTool::updateText(const std::string& since, bool raw) {
    const std::optional<std::int64_t> date = ServerDate::parse(since);
    if (!date) {
        err_ << "not a date: " << since << "\n";
        return 2;
    }
    const std::optional<std::vector<DefinitionRow>> rows = store_.rows(true);
    if (!rows) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    const UpdatePlan plan = UpdateTextBuilder::plan(*rows, *date);
    out_ << (raw ? UpdateTextBuilder::wireText(plan) : UpdateTextBuilder::describe(plan));
    return 0;
}

int AdminTool::date() {
    const std::optional<std::vector<DefinitionRow>> rows = store_.rows(true);
    if (!rows) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    const DefinitionSnapshot snap(*rows, 0);
    out_ << ServerDate::text(snap.currentDate()) << "\n";
    return 0;
}

int AdminTool::setLanguage(std::int64_t package, const std::string& path) {
    std::string content;
    if (!readWholeFile(path, content)) {
        err_ << "cannot read " << path << "\n";
        return 1;
    }
    if (!text::icontains(content, "<TRANSLATION_ITEMS>")) {
        err_ << path << " holds no <TRANSLATION_ITEMS>; clients would ignore it\n";
        return 2;
    }
    if (!store_.setLanguage(package, content, ServerDate::now())) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    out_ << "language package " << package << " set from " << path << "\n";
    return 0;
}

int AdminTool::submissions() {
    const std::optional<std::vector<SubmissionRow>> rows = store_.submissions();
    if (!rows) {
        err_ << "database error: " << store_.lastError() << "\n";
        return 1;
    }
    for (const SubmissionRow& r : *rows) {
        out_ << ServerDate::text(r.receivedAt) << "\t" << r.remote << "\t" << r.kind << "\t"
             << r.first;
        if (r.kind == "fp") {
            out_ << "\t" << r.second;
        }
        out_ << "\n";
    }
    return 0;
}

}  // namespace nightjar::server
