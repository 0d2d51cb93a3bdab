#pragma once
#include <string>
#include <string_view>

#include "scan/ScanRows.h"

namespace nightjar::scan {

/// What the scan phases need from the run that owns them: the lists they fill, the
/// counters, progress, the stop request and the yield to the message loop. The
/// application model implements it; tests use a recording fake.
class ScanSink {
  public:
    virtual ~ScanSink() = default;

    virtual ScanCounters& counters() = 0;
    /// `ScanStopRequested`.
    virtual bool stopRequested() const = 0;
    /// Yield to the message loop.
    virtual void pump() = 0;
    /// True while a scan run is in progress (the memory scan serves the shield otherwise).
    virtual bool scanRunning() const = 0;
    /// `ScanStatusPrefix`: the phase message followed by ": ".
    virtual const std::string& statusPrefix() const = 0;
    /// The message catalog's text of a MSG_ key, in the current language.
    virtual std::string msg(std::string_view key) const = 0;

    virtual void addFeedRow(FeedRow row) = 0;
    virtual void addFoundItem(FoundItem item) = 0;
    virtual void addFileWorkRow(FileWorkRow row) = 0;
    virtual void addRegistryWorkRow(RegistryWorkRow row) = 0;
    virtual void addCookieWorkRow(PathWorkRow row) = 0;
    /// `lbltracesFound` + 1.
    virtual void addTrace() = 0;

    /// Throttled refresh (every 25th call); a percent below 0 leaves its bar unchanged.
    virtual void UpdateScanProgress(std::string_view status, int phase, int overall) = 0;
    /// The same without the throttle.
    virtual void ForceScanProgress(std::string_view status, int phase, int overall) = 0;
    /// `lblTotalNoOfRunningItems`.
    virtual void setRunningItems(int count) = 0;
};

}  // namespace nightjar::scan
