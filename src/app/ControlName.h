#pragma once
#include <string_view>

namespace nightjar::app {

/// The name of a window, control or timer of the main program: the key a front end binds
/// its widget to and the key the localization file translates. Made only from the
/// constants of ControlNames.h (or, explicitly, from a name read at run time), so that a
/// misspelt name does not compile.
class ControlName {
  public:
    explicit constexpr ControlName(std::string_view name) : name_(name) {}

    constexpr std::string_view str() const { return name_; }
    constexpr operator std::string_view() const { return name_; }

    friend constexpr bool operator==(ControlName a, ControlName b) { return a.name_ == b.name_; }

  private:
    std::string_view name_;
};

}  // namespace nightjar::app
