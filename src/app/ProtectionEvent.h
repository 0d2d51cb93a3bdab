#pragma once
#include <string>

namespace nightjar::app {

/// Something the protection between scans did, for a front end that reports it.
struct ProtectionEvent {
    enum class Kind {
        ThreatStopped,
        /// STOP was answered but the process is still running.
        ThreatNotStopped,
        ThreatAllowed,
        HomePageRestored,
        HomePageAccepted,
        ScheduledScanStarted,
        ScheduledScanEnded,
    };
    Kind kind;
    /// The process file name or the start page; empty for the scheduled scan.
    std::string detail;
};

}  // namespace nightjar::app
