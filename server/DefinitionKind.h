#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::server {

/// The client's definition files, in the order its update passes process them.
enum class TargetFile { File, Exe, Registry, Cookies, Directory, Safety };

/// File name of a target file ("FileDefinition.dat", ...).
std::string_view TargetFileName(TargetFile file);

/// One kind of definition entry and how its entries travel and land on the client.
///
/// Stored bodies are plain text, written the way an administrator reads them:
/// - FILE, EXE, DLL, DIR: "name=threat|location|type" (location and type optional);
/// - REG: the registry line the scanner reads, "hive^key[^value]=threat|type";
/// - COOK: the cookie site;
/// - SFILE, SEXE, SDLL, SDIR, SREG: "name=value|location" (the kind is added on the wire).
class DefinitionKind {
  public:
    /// Accepts the markers above, letter case ignored; nullopt for anything else.
    static std::optional<DefinitionKind> parse(std::string_view marker);
    /// Every kind, in a fixed order.
    static const std::vector<std::string>& allMarkers();

    const std::string& marker() const { return marker_; }
    bool isSafety() const { return marker_.front() == 'S'; }
    /// The client files an entry of this kind is written to.
    std::vector<TargetFile> targets() const;
    bool reaches(TargetFile file) const;

    /// Trims blanks and line ends from both ends of an entry as typed or imported.
    static std::string normalizeBody(std::string_view body);
    /// Empty when `body` (normalized) is a valid entry of this kind, else the reason.
    std::string validate(std::string_view body) const;

    /// Body of an ADD record before the wire encoding ("|" and "=" stay, all else is
    /// scrambled).
    std::string addBody(std::string_view body) const;
    /// Body of a DEL record: its text before the first "=" is the key the client removes.
    /// It holds a "=" whenever the kind's ADD bodies do, so that no ADD of the same update
    /// cancels it.
    std::string delBody(std::string_view body) const;
    /// The plain line the client stores for an entry in `file` (before scrambling).
    std::string storedLine(std::string_view body, TargetFile file) const;
    /// The key the client's removal compares for a stored line: its text before the first
    /// "=", lower-cased.
    static std::string removalKey(std::string_view storedLine);
    /// For FILE, EXE and DLL entries: the file name, trimmed and lower-cased; empty else.
    std::string fileName(std::string_view body) const;
    /// The threat type field of an entry, empty when it has none (COOK entries have none).
    std::string threatType(std::string_view body) const;

  private:
    explicit DefinitionKind(std::string marker) : marker_(std::move(marker)) {}
    std::string marker_;
};

}  // namespace nightjar::server
