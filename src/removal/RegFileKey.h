#pragma once
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace nightjar::removal {

/// One value of a registry editor file.
struct RegFileValue {
    std::string name;  ///< "" is the key's default value
    platform::RegValue value;
};

/// One [section] of a registry editor file: a key and the values it sets.
struct RegFileKey {
    platform::Hive hive = platform::Hive::LocalMachine;
    std::string path;  ///< below the hive, "" for the hive itself
    std::vector<RegFileValue> values;
};

}  // namespace nightjar::removal
