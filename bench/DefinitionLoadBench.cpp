// Loading the file and folder tables against reading the same files line by line.
//
// Runs over a temporary machine root with the POSIX platform layer, so the numbers include
// real file reads. Prints "RATIO definition_load X.XX" (load CPU time / plain read CPU
// time, system time included) and "RATIO definition_load_store_floor X.XX" (reading plus
// storing four owned strings per entry without any parsing, which is what the tables cost
// when each entry owned its texts).

#include <benchmark/benchmark.h>

#include "BenchMachine.h"
#include "RandomWord.h"
#include "RatioReporter.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixShellFolders.h"
#include "util/LineReader.h"

namespace {

using namespace nightjar;
using bench::RandomWord;
using definitions::PlaceholderExpander;
using definitions::SignatureStore;

constexpr int kLines = 100000;

struct Fixture {
    std::string hostRoot;
    std::unique_ptr<platform::posix::PosixFileSystem> fs;
    std::unique_ptr<platform::posix::PosixShellFolders> shell;
    std::unique_ptr<PlaceholderExpander> expander;
    std::string dataFolder;
    std::size_t bytes = 0;
};

Fixture* gFixture = nullptr;

template <typename T>
const T& pick(std::mt19937& rng, const std::vector<T>& v) {
    return v[rng() % v.size()];
}

std::string location(std::mt19937& rng, const std::string& vendor) {
    switch (rng() % 12) {
        case 0:
            return "[progfil]" + vendor;
        case 1:
            return "[progfil]" + vendor + "\\" + RandomWord(rng, 3, 8);
        case 2:
            return "[windir]system32";
        case 3:
            return "[windir]";
        case 4:
            return "[appdata]" + vendor;
        case 5:
            return "[comprogfil]" + vendor;
        case 6:
            return "[startup]";
        case 7:
            return "[drive]\\" + vendor;
        case 8:
            return "C:\\" + vendor + "\\bin";
        case 9:
            return "[system]drivers";
        case 10:
            return "[comapp]" + vendor + "\\" + RandomWord(rng, 4, 9);
        default:
            return "[user]Local Settings\\Temp\\" + vendor;
    }
}

/// Definition lines as a writer stores them: scrambled, CR LF.
std::string definitionFile(bool files, unsigned seed) {
    std::mt19937 rng(seed);
    const std::vector<std::string> exts = {"exe", "dll", "sys", "ocx", "tmp", "dat", "ini"};
    const std::vector<std::string> types = {
        "TYPE", "Adware", "Trojan", "Spyware", "Browser Helper Object", "Dialer"};
    const std::vector<std::string> families = {"Adware", "Trojan", "Spyware", "Dialer", "Worm"};
    std::string out;
    for (int i = 0; i < kLines; ++i) {
        std::string vendor = RandomWord(rng, 4, 12);
        std::string threat = pick(rng, families) + "." + RandomWord(rng, 4, 10);
        std::string line = files ? RandomWord(rng, 4, 12) + "." + pick(rng, exts) : vendor;
        line += "=" + threat;
        auto shape = rng() % 50;
        if (shape != 0) {  // one line in fifty names no location
            line += "|" + location(rng, vendor);
            if (shape != 1) {  // and one in fifty has no type
                line += "|" + pick(rng, types);
            }
        }
        out += definitions::ScrambleLine(line);
        out += "\r\n";
    }
    return out;
}

std::string safetyFile() {
    std::mt19937 rng(7);
    std::string out;
    for (int i = 0; i < 200; ++i) {
        std::string line;
        switch (i % 4) {
            case 0:
                line = "SFILE|" + RandomWord(rng, 4, 8) + ".exe=Safe|[windir]system32\\x.exe";
                break;
            case 1:
                line = "SDIR|d=Safe|[progfil]" + RandomWord(rng, 5, 10);
                break;
            case 2:
                line = "SREG|k=Safe|2^Software\\" + RandomWord(rng, 5, 10) + "^Run";
                break;
            default:
                line = "SDLL|" + RandomWord(rng, 4, 8) + ".dll=Safe|[system]y.dll";
                break;
        }
        out += definitions::ScrambleLine(line) + "\r\n";
    }
    return out;
}

bool setUp(Fixture& f) {
    f.fs = nightjar::bench::CreateBenchMachine("/tmp/nj-defload-XXXXXX", f.hostRoot);
    if (!f.fs) {
        return false;
    }
    f.shell = std::make_unique<platform::posix::PosixShellFolders>("bench");
    f.expander = std::make_unique<PlaceholderExpander>(*f.shell);
    f.dataFolder = definitions::DataFolder(*f.expander);
    f.fs->createFolder(f.dataFolder);
    std::string fileDefs = definitionFile(true, 1);
    std::string dirDefs = definitionFile(false, 2);
    f.bytes = fileDefs.size() + dirDefs.size();
    return f.fs->writeAll(definitions::DataFile(f.dataFolder, definitions::kFileDefinition),
                          fileDefs) &&
           f.fs->writeAll(definitions::DataFile(f.dataFolder, definitions::kDirectoryDefinition),
                          dirDefs) &&
           f.fs->writeAll(definitions::DataFile(f.dataFolder, definitions::kSafety), safetyFile());
}

void BM_ReadLinesBaseline(benchmark::State& state) {
    Fixture& f = *gFixture;
    std::string line;
    for (auto _ : state) {
        std::size_t total = 0;
        for (auto name : {definitions::kFileDefinition, definitions::kDirectoryDefinition}) {
            LineReader reader(*f.fs, definitions::DataFile(f.dataFolder, name));
            while (reader.next(line)) {
                total += line.size();
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
}

void BM_LoadFileSignatures(benchmark::State& state) {
    Fixture& f = *gFixture;
    definitions::LoadObserver observer;
    std::size_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<SignatureStore>(*f.fs, *f.expander, f.dataFolder);
        store->LoadSafetyEntries(observer);
        state.ResumeTiming();
        store->LoadFileSignatures(observer);
        entries = store->FileSignatures().size() + store->DirectorySignatures().size();
        state.PauseTiming();
        store.reset();  // freeing the tables is not part of loading them
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
}

/// An entry of four texts each in its own string, as the tables once held them.
struct OwnedEntry {
    std::string folder;
    std::string name;
    std::string type;
    std::string threatName;
};

/// What storing four strings per entry costs: the same reading plus storing one entry of
/// four owned texts per line (of the lengths the real entries have), with no parsing.
void BM_StoreOnlyFloor(benchmark::State& state) {
    Fixture& f = *gFixture;
    std::string line;
    for (auto _ : state) {
        state.PauseTiming();
        auto tables = std::make_unique<std::vector<OwnedEntry>[]>(2);
        state.ResumeTiming();
        int t = 0;
        for (auto name : {definitions::kFileDefinition, definitions::kDirectoryDefinition}) {
            auto& table = tables[static_cast<std::size_t>(t++)];
            table.reserve(SignatureStore::kTableSize);
            LineReader reader(*f.fs, definitions::DataFile(f.dataFolder, name));
            while (reader.next(line)) {
                std::string_view v(line);
                table.push_back(
                    OwnedEntry{std::string(v.substr(0, 36)), std::string(v.substr(0, 10)),
                               std::string(v.substr(0, 7)), std::string(v.substr(0, 14))});
            }
        }
        benchmark::DoNotOptimize(tables[0].data());
        state.PauseTiming();
        tables.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ReadLinesBaseline)->Unit(benchmark::kMillisecond)->MinTime(0.4);
BENCHMARK(BM_LoadFileSignatures)->Unit(benchmark::kMillisecond)->MinTime(0.4);
BENCHMARK(BM_StoreOnlyFloor)->Unit(benchmark::kMillisecond)->MinTime(0.4);

}  // namespace

int main(int argc, char** argv) {
    using nightjar::bench::RatioReporter;
    // CPU time: the build machines are shared, and wall time there measures the neighbours too.
    return nightjar::bench::runRatioBenchmarks(
        argc, argv, gFixture, setUp, RatioReporter::Clock::Cpu, [](const RatioReporter& r) {
            const bool ok =
                r.printRatio("definition_load", "BM_LoadFileSignatures", "BM_ReadLinesBaseline");
            r.printRatio("definition_load_store_floor", "BM_StoreOnlyFloor",
                         "BM_ReadLinesBaseline");
            return ok ? 0 : 1;
        });
}
