#include "UpdateTextBuilder.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "DefinitionKind.h"
#include "ServerDate.h"
#include "definitions/LineCodec.h"

namespace nightjar::server {

namespace {

using Identity = std::pair<std::string, std::string>;  // kind, body

Identity identityOf(const DefinitionRow& r) {
    return {r.kind, r.body};
}

}  // namespace

std::string UpdateRecord::plainWireBody() const {
    const std::optional<DefinitionKind> k = DefinitionKind::parse(kind);
    if (!k) {
        return body;
    }
    return op == Op::Add ? k->addBody(body) : k->delBody(body);
}

UpdatePlan UpdateTextBuilder::plan(const std::vector<DefinitionRow>& rows, std::int64_t since) {
    UpdatePlan out;
    if (since <= ServerDate::defaultClientDate()) {
        // Before anything was ever published: the client holds nothing, whatever the
        // entries' own dates say.
        since = std::numeric_limits<std::int64_t>::min();
    }
    std::set<Identity> held;     // present at `since`
    std::set<Identity> current;  // present now
    // (file, removal key) -> id of a current entry that stores a line with that key there
    std::map<std::pair<TargetFile, std::string>, std::int64_t> currentKeys;
    for (const DefinitionRow& r : rows) {
        if (r.presentAt(since)) {
            held.insert(identityOf(r));
        }
        if (r.current()) {
            current.insert(identityOf(r));
            if (const std::optional<DefinitionKind> k = DefinitionKind::parse(r.kind)) {
                for (const TargetFile f : k->targets()) {
                    currentKeys.emplace(
                        std::make_pair(f, DefinitionKind::removalKey(k->storedLine(r.body, f))),
                        r.id);
                }
            }
        }
    }

    std::set<Identity> emitted;
    for (const DefinitionRow& r : rows) {
        const std::optional<DefinitionKind> k = DefinitionKind::parse(r.kind);
        if (!k) {
            continue;
        }
        const Identity id = identityOf(r);
        if (r.current() && !held.contains(id)) {
            if (emitted.insert(id).second) {
                out.records.push_back({UpdateRecord::Op::Add, r.kind, r.body, r.id, r.addedAt});
            }
            continue;
        }
        if (!r.presentAt(since) || current.contains(id)) {
            continue;
        }
        // Held by the client, no longer current: a withdrawal.
        std::optional<std::int64_t> sharedWith;
        for (const TargetFile f : k->targets()) {
            const auto it = currentKeys.find(
                std::make_pair(f, DefinitionKind::removalKey(k->storedLine(r.body, f))));
            if (it != currentKeys.end()) {
                sharedWith = it->second;
                break;
            }
        }
        if (sharedWith) {
            out.heldBack.push_back(
                {r, "its key is shared by current entry #" + std::to_string(*sharedWith)});
            continue;
        }
        if (emitted.insert(id).second) {
            out.records.push_back(
                {UpdateRecord::Op::Del, r.kind, r.body, r.id, r.withdrawnAt.value_or(0)});
        }
    }
    std::stable_sort(out.records.begin(), out.records.end(),
                     [](const UpdateRecord& a, const UpdateRecord& b) {
                         return std::tie(a.at, a.id) < std::tie(b.at, b.id);
                     });
    return out;
}

std::string UpdateTextBuilder::encodeBody(std::string_view plain) {
    std::string out;
    out.reserve(plain.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i <= plain.size(); ++i) {
        if (i == plain.size() || plain[i] == '|' || plain[i] == '=') {
            out += definitions::ScrambleLine(plain.substr(start, i - start));
            if (i < plain.size()) {
                out += plain[i];
            }
            start = i + 1;
        }
    }
    return out;
}

std::string UpdateTextBuilder::encodeDelBody(std::string_view plain) {
    const std::size_t eq = plain.find('=');
    if (eq == std::string_view::npos) {
        return definitions::ScrambleLine(plain);
    }
    return definitions::ScrambleLine(plain.substr(0, eq)) + "=" + encodeBody(plain.substr(eq + 1));
}

std::string UpdateTextBuilder::wireText(const UpdatePlan& plan) {
    std::string out;
    for (const UpdateRecord& r : plan.records) {
        if (!out.empty()) {
            out += "[BR]";
        }
        out += definitions::ScrambleLine(r.kind);
        out += r.op == UpdateRecord::Op::Add ? "|ADD" : "|DEL";
        out += "[DEF]";
        out += r.op == UpdateRecord::Op::Add ? encodeBody(r.plainWireBody())
                                             : encodeDelBody(r.plainWireBody());
    }
    return out;
}

std::string UpdateTextBuilder::describe(const UpdatePlan& plan) {
    std::string out;
    for (const UpdateRecord& r : plan.records) {
        out += r.op == UpdateRecord::Op::Add ? "ADD " : "DEL ";
        out += r.kind + " " + r.plainWireBody() + "\n";
    }
    for (const HeldBack& h : plan.heldBack) {
        out += "HELD " + h.row.kind + " #" + std::to_string(h.row.id) + " " + h.row.body + " (" +
               h.reason + ")\n";
    }
    return out;
}

}  // namespace nightjar::server
