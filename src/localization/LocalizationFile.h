#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::localization {

/// The language groups of a Localization.txt text. The text is not parsed as XML: only the
/// markers of a group, its name and its item list are searched for, ignoring letter case.
class LocalizationFile {
  public:
    /// One language group: its name and its item lines in file order.
    struct Group {
        std::string name;
        std::vector<std::string> items;
    };

    /// Finds the groups of `text`, in file order. A group without its end marker ends the
    /// search; the groups before it are kept.
    explicit LocalizationFile(std::string_view text);

    const std::vector<Group>& groups() const { return groups_; }
    /// The names of the groups in file order; groups without a name are left out.
    std::vector<std::string> groupNames() const;
    /// The first group whose name equals `name` (case ignored); null when none does.
    const Group* find(std::string_view name) const;

    /// The item lines between the item markers of `group` (one group's text). Lines end at
    /// CR LF; a file saved with LF alone gives the same lines, since an item never holds a
    /// line break.
    static std::vector<std::string> ItemLines(std::string_view group);

  private:
    std::vector<Group> groups_;
};

}  // namespace nightjar::localization
