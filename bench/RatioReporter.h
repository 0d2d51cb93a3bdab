#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace nightjar::bench {

/// Console reporter that keeps the time per iteration of every run, so that main() can
/// print each target as a ratio against its baseline measured in the same run. With
/// repetitions it keeps the fastest: on a shared machine noise only ever adds time, so
/// the minimum of each side is the steadiest estimate of what the code costs.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    enum class Clock { Cpu, Real };

    // Plain text: the ratio lines that follow must start their lines for collectors.
    explicit RatioReporter(Clock clock) : benchmark::ConsoleReporter(OO_Tabular), clock_(clock) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                const double t =
                    clock_ == Clock::Cpu ? r.GetAdjustedCPUTime() : r.GetAdjustedRealTime();
                auto [it, added] = times_.emplace(r.run_name.function_name, t);
                if (!added && t < it->second) {
                    it->second = t;
                }
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

    /// benchmark::Initialize with these benchmarks' defaults in front of the command line:
    /// repetitions run in random interleaving, so that a noisy spell of the machine falls
    /// on the baseline and the measured code alike. Flags given on the command line come
    /// later and win.
    static void initialize(int argc, char** argv) {
        static char repetitions[] = "--benchmark_repetitions=7";
        static char interleaving[] = "--benchmark_enable_random_interleaving=true";
        std::vector<char*> args;
        args.push_back(argv[0]);
        args.push_back(repetitions);
        args.push_back(interleaving);
        for (int i = 1; i < argc; ++i) {
            args.push_back(argv[i]);
        }
        args.push_back(nullptr);
        int count = static_cast<int>(args.size()) - 1;
        benchmark::Initialize(&count, args.data());
    }

    /// Runs every registered benchmark through this reporter and shuts the library down.
    void runAll() {
        benchmark::RunSpecifiedBenchmarks(this);
        benchmark::Shutdown();
        std::cout.flush();  // before the ratio lines, which main() prints with printf
    }

  private:
    Clock clock_;
    std::map<std::string, double> times_;
};

/// The main() of a ratio benchmark over a temporary machine: `setUp` fills a fixture
/// (which the benchmarks reach through `global`), the benchmarks run, `report` prints the
/// ratios from the reporter and returns the exit status, and the machine is removed.
template <typename Fixture, typename SetUp, typename Report>
int runRatioBenchmarks(int argc, char** argv, Fixture*& global, SetUp setUp,
                       RatioReporter::Clock clock, Report report) {
    RatioReporter::initialize(argc, argv);
    Fixture fixture;
    global = &fixture;
    int rc = 1;
    if (setUp(fixture)) {
        RatioReporter reporter(clock);
        reporter.runAll();
        rc = report(reporter);
    } else {
        std::fprintf(stderr, "could not create the benchmark data\n");
    }
    std::error_code ec;
    std::filesystem::remove_all(fixture.hostRoot, ec);
    global = nullptr;
    return rc;
}

/// runRatioBenchmarks for a benchmark with a single ratio: prints `name` as `measured`
/// against `baseline`, exits 1 when either is missing.
template <typename Fixture, typename SetUp>
int runRatioBenchmark(int argc, char** argv, Fixture*& global, SetUp setUp,
                      RatioReporter::Clock clock, const char* name, const char* measured,
                      const char* baseline) {
    return runRatioBenchmarks(argc, argv, global, setUp, clock, [&](const RatioReporter& r) {
        return r.printRatio(name, measured, baseline) ? 0 : 1;
    });
}

}  // namespace nightjar::bench
