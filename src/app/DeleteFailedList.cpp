#include "app/DeleteFailedList.h"

#include <algorithm>

#include "util/Text.h"

namespace nightjar::app {

void DeleteFailedList::add(std::string_view location, RemovalProblem reason) {
    const bool known = std::any_of(rows_.begin(), rows_.end(), [&](const ProblemRow& r) {
        return text::iequals(r.location, location);
    });
    if (!known) {
        rows_.add({std::string(location), reason});
    }
}

std::string DeleteFailedList::copyText() const {
    std::string out;
    for (const ProblemRow& r : rows_) {
        out += r.location;
        out += "\r\n";
    }
    return out;
}

std::string_view problemName(RemovalProblem problem) {
    switch (problem) {
        case RemovalProblem::StillPresent:
            return "still present";
        case RemovalProblem::ProcessNotStopped:
            return "process not stopped";
        case RemovalProblem::NotQuarantined:
            return "no quarantine copy";
        case RemovalProblem::NotBackedUp:
            return "no registry backup";
        case RemovalProblem::Protected:
            return "protected location";
    }
    return "";
}

}  // namespace nightjar::app
