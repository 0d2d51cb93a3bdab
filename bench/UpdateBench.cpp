// Applying an incremental update against copying the same definition files.
//
// Six 100,000-line definition files in a temporary machine root (POSIX platform layer),
// an update of 10,000 ADD and 2,000 DEL records spread over every kind, so that every file
// is rewritten. The baseline copies each file through the same replacing writer.
// Prints "RATIO update_apply X.XX" (update time / copy time).

#include <benchmark/benchmark.h>

#include "BenchMachine.h"
#include "RandomWord.h"
#include "RatioReporter.h"

#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixFileSystem.h"
#include "update/UpdateTextApplier.h"

namespace {

using namespace nightjar;
using bench::RandomWord;

constexpr int kLines = 100000;
constexpr int kAdds = 10000;
constexpr int kDels = 2000;
constexpr const char* kFolder = "C:\\bench";

constexpr std::array<std::string_view, 6> kNames = {
    definitions::kFileDefinition,      definitions::kExeDefinition,
    definitions::kRegistryDefinition,  definitions::kBlockedCookies,
    definitions::kDirectoryDefinition, definitions::kSafety};
constexpr std::array<std::string_view, 6> kMarkers = {"FILE", "EXE", "REG", "COOK", "DIR", "S"};

struct Fixture {
    std::string hostRoot;
    std::unique_ptr<platform::posix::PosixFileSystem> fs;
    std::map<std::string_view, std::string> original;
    std::string update;
    std::size_t bytes = 0;
};

Fixture* gFixture = nullptr;

/// Plain entry i of a file: a key the deletions can name, and the rest of a line.
std::string entry(std::string_view file, int i, std::mt19937& rng) {
    return std::string(file.substr(0, 3)) + std::to_string(i) + "." + RandomWord(rng, 3, 3) + "=" +
           RandomWord(rng, 6, 14) + "|[progfil]" + RandomWord(rng, 4, 12) + "\\" +
           RandomWord(rng, 3, 9) + "|TYPE";
}

/// A body as the server sends it: stored form except for "|" and "=".
std::string wireBody(std::string_view plain) {
    std::string out = definitions::ScrambleLine(plain);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == '|' || plain[i] == '=') {
            out[i] = plain[i];
        }
    }
    return out;
}

bool setUp(Fixture& f) {
    f.fs = nightjar::bench::CreateBenchMachine("/tmp/nj-updbench-XXXXXX", f.hostRoot);
    if (!f.fs) {
        return false;
    }
    if (!f.fs->createFolder(kFolder)) {
        return false;
    }
    std::mt19937 rng(42);
    std::vector<std::vector<std::string>> keys(kNames.size());
    for (std::size_t k = 0; k < kNames.size(); ++k) {
        std::string content;
        for (int i = 0; i < kLines; ++i) {
            std::string plain = entry(kNames[k], i, rng);
            if (i % 50 == 0) {
                keys[k].push_back(plain.substr(0, plain.find('=')));
            }
            content += definitions::ScrambleLine(plain);
            content += "\r\n";
        }
        f.bytes += content.size();
        f.original[kNames[k]] = content;
    }
    for (int i = 0; i < kAdds; ++i) {
        std::size_t k = static_cast<std::size_t>(i) % kMarkers.size();
        f.update += definitions::ScrambleLine(kMarkers[k]) + "|ADD[DEF]" +
                    wireBody(entry("new", i, rng)) + "[BR]";
    }
    for (int i = 0; i < kDels; ++i) {
        std::size_t k = static_cast<std::size_t>(i) % kMarkers.size();
        const auto& pool = keys[k];
        f.update += definitions::ScrambleLine(kMarkers[k]) + "|DEL[DEF]" +
                    wireBody(pool[static_cast<std::size_t>(i) % pool.size()]) + "[BR]";
    }
    return true;
}

bool resetFiles(Fixture& f) {
    for (auto name : kNames) {
        if (!f.fs->writeAll(definitions::DataFile(kFolder, name), f.original[name])) {
            return false;
        }
    }
    return true;
}

void BM_CopyBaseline(benchmark::State& state) {
    Fixture& f = *gFixture;
    if (!resetFiles(f)) {
        state.SkipWithError("cannot write the definition files");
        return;
    }
    std::string data;
    for (auto _ : state) {
        for (auto name : kNames) {
            std::string path = definitions::DataFile(kFolder, name);
            f.fs->readAll(path, data);
            f.fs->writeAll(path, data);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
}

void BM_ApplyUpdateText(benchmark::State& state) {
    Fixture& f = *gFixture;
    update::UpdateObserver quiet;
    long count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!resetFiles(f)) {
            state.SkipWithError("cannot write the definition files");
            return;
        }
        state.ResumeTiming();
        update::UpdateTextApplier applier(*f.fs, kFolder, quiet);
        auto r = applier.ApplyUpdateText(f.update);
        if (!r.complete) {
            state.SkipWithError("update failed");
            return;
        }
        count = r.count;
    }
    state.counters["count"] = static_cast<double>(count);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
}

BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond)->MinTime(0.4);
BENCHMARK(BM_ApplyUpdateText)->Unit(benchmark::kMillisecond)->MinTime(0.4);

}  // namespace

int main(int argc, char** argv) {
    return nightjar::bench::runRatioBenchmark(
        argc, argv, gFixture, setUp, nightjar::bench::RatioReporter::Clock::Real, "update_apply",
        "BM_ApplyUpdateText", "BM_CopyBaseline");
}
