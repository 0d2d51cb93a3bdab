#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DefinitionRow.h"

namespace nightjar::server {

/// One record of an update text.
struct UpdateRecord {
    enum class Op { Add, Del };
    Op op = Op::Add;
    std::string kind;
    std::string body;  ///< the stored (plain) entry
    std::int64_t id = 0;
    std::int64_t at = 0;  ///< when the entry was added (ADD) or withdrawn (DEL)

    /// The record's body before the wire encoding.
    std::string plainWireBody() const;
};

/// A withdrawal the update cannot carry for this client, with the reason.
struct HeldBack {
    DefinitionRow row;
    std::string reason;
};

/// What an update for one client date holds.
struct UpdatePlan {
    std::vector<UpdateRecord> records;
    std::vector<HeldBack> heldBack;
};

/// Works out the update text for a client whose definitions date is `since`.
///
/// The client is taken to hold exactly the entries present at `since`; a date at or before
/// the client's default date (or the zero date it stores after an unreadable answer) means
/// it holds nothing. The update brings
/// it to the entries present now: an ADD for every current entry it lacks, a DEL for every
/// entry it holds that is no longer current. An entry added and withdrawn after `since`
/// gives nothing (the client never had it), and one withdrawn and added again with the
/// same text gives nothing either.
///
/// The client removes by key (the text before "="), every line with that key in each file
/// the record reaches, and only after all additions of that file. A DEL whose key a
/// current entry shares in one of those files would therefore take the current entry with
/// it, new or old; such a withdrawal is held back: the client keeps the old line beside the
/// current one, rather than losing a current definition.
class UpdateTextBuilder {
  public:
    static UpdatePlan plan(const std::vector<DefinitionRow>& rows, std::int64_t since);

    /// The update text: records joined by "[BR]"; each is the scrambled kind marker, "|",
    /// "ADD" or "DEL", "[DEF]" and the encoded body.
    static std::string wireText(const UpdatePlan& plan);
    /// Scrambles every byte except the separators "|" and "=", which travel as they are.
    static std::string encodeBody(std::string_view plain);
    /// A DEL body: the client unscrambles the key (the text before the first "=") as a
    /// whole, so the key travels fully scrambled, a "|" inside it included (a raw one would
    /// read back as "<" and the key would match no line); the rest as encodeBody.
    static std::string encodeDelBody(std::string_view plain);
    /// A readable listing: one line per record ("ADD FILE body"), then the held-back ones.
    static std::string describe(const UpdatePlan& plan);
};

}  // namespace nightjar::server
