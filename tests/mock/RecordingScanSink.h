#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/ScanSink.h"

namespace nightjar::mock {

/// A scan sink that records every row, progress call and yield, for assertions.
class RecordingScanSink : public scan::ScanSink {
  public:
    struct Progress {
        std::string status;
        int phase = 0;
        int overall = 0;
        bool forced = false;
    };

    // Test controls.
    bool stop = false;
    bool running = true;
    std::string prefix = "Phase: ";
    /// Called on every pump (for example to request a stop after N items).
    std::function<void(RecordingScanSink&)> onPump;
    /// Keep every progress call (off for large runs).
    bool keepProgress = true;

    // What was recorded.
    scan::ScanCounters c;
    std::vector<scan::FeedRow> feed;
    std::vector<scan::FoundItem> found;
    std::vector<scan::FileWorkRow> fileWork;
    std::vector<scan::RegistryWorkRow> registryWork;
    std::vector<scan::PathWorkRow> cookieWork;
    std::vector<Progress> progress;
    int traces = 0;
    int pumps = 0;
    int progressCalls = 0;
    int runningItems = -1;

    scan::ScanCounters& counters() override { return c; }
    bool stopRequested() const override { return stop; }
    void pump() override {
        ++pumps;
        if (onPump) {
            onPump(*this);
        }
    }
    bool scanRunning() const override { return running; }
    const std::string& statusPrefix() const override { return prefix; }
    /// The key itself in brackets, so that a test sees which text was asked for.
    std::string msg(std::string_view key) const override { return "<" + std::string(key) + ">"; }

    void addFeedRow(scan::FeedRow row) override { feed.push_back(std::move(row)); }
    void addFoundItem(scan::FoundItem item) override { found.push_back(std::move(item)); }
    void addFileWorkRow(scan::FileWorkRow row) override { fileWork.push_back(std::move(row)); }
    void addRegistryWorkRow(scan::RegistryWorkRow row) override {
        registryWork.push_back(std::move(row));
    }
    void addCookieWorkRow(scan::PathWorkRow row) override { cookieWork.push_back(std::move(row)); }
    void addTrace() override { ++traces; }

    void UpdateScanProgress(std::string_view status, int phase, int overall) override {
        ++progressCalls;
        if (keepProgress) {
            progress.push_back({std::string(status), phase, overall, false});
        }
    }
    void ForceScanProgress(std::string_view status, int phase, int overall) override {
        ++progressCalls;
        if (keepProgress) {
            progress.push_back({std::string(status), phase, overall, true});
        }
    }
    void setRunningItems(int count) override { runningItems = count; }

    /// Texts of the feed rows, in order.
    std::vector<std::string> feedTexts() const { return column(feed, &scan::FeedRow::text); }
    /// Titles of the result rows, in order.
    std::vector<std::string> foundTitles() const { return column(found, &scan::FoundItem::title); }
    /// Locations of the result rows, in order.
    std::vector<std::string> foundLocations() const {
        return column(found, &scan::FoundItem::location);
    }

  private:
    template <typename Row>
    static std::vector<std::string> column(const std::vector<Row>& rows, std::string Row::*field) {
        std::vector<std::string> out;
        for (const auto& r : rows) {
            out.push_back(r.*field);
        }
        return out;
    }
};

}  // namespace nightjar::mock
