#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace nightjar::definitions {

struct ThreatTypeInfo {
    std::string_view type;
    std::string_view risk;
    std::string_view description;
};

/// Every row of the catalog, in its fixed order (the empty type first).
std::span<const ThreatTypeInfo> ThreatCatalog();

/// Looks a threat type up, case-sensitively and without trimming. The empty type is known
/// ("Medium", "Unknown").
std::optional<ThreatTypeInfo> LookupThreatType(std::string_view type);

/// The threat type a FileDefinition.dat line's type field stands for ("TYPE" is written
/// for "Spyware"). Every reader of that file takes its types through this.
std::string_view FileDefinitionType(std::string_view written);

/// The risk pass for one result row: a known type sets risk and details; an unknown one
/// leaves both as they are.
void AssignRisk(std::string_view type, std::string& risk, std::string& details);

}  // namespace nightjar::definitions
