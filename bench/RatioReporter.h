#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace nightjar::bench {

/// Console reporter that keeps the mean time per iteration of every run, so that main()
/// can print each target as a ratio against its baseline measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    enum class Clock { Cpu, Real };

    // Plain text: the ratio lines that follow must start their lines for collectors.
    explicit RatioReporter(Clock clock) : benchmark::ConsoleReporter(OO_Tabular), clock_(clock) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                times_[r.run_name.function_name] =
                    clock_ == Clock::Cpu ? r.GetAdjustedCPUTime() : r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    /// Prints "RATIO name X.XX" for measured / baseline; false when either is missing.
    bool printRatio(const char* name, const std::string& measured,
                    const std::string& baseline) const {
        auto m = times_.find(measured);
        auto b = times_.find(baseline);
        if (m == times_.end() || b == times_.end() || b->second <= 0) {
            return false;
        }
        std::printf("RATIO %s %.2f\n", name, m->second / b->second);
        return true;
    }

  private:
    Clock clock_;
    std::map<std::string, double> times_;
};

}  // namespace nightjar::bench
