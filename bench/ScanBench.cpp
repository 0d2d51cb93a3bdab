// Scan phases against plain baselines, over the POSIX platform layer and a real tree.
//
// 1. Folder Scan of a generated tree (20,220 folders, 200,000 files) with 100,000 file and
//    100,000 folder signatures loaded, against `find` over the same tree.
//    Prints "RATIO folder_scan X.XX" (scan time / find time).
// 2. The Smart Scan's known-files and known-folders phases over 100,000 lines each, against
//    decoding the same lines and testing each expanded path for existence.
//    Prints "RATIO smart_scan_known X.XX".
//
// The tree is generated once under /tmp/nj-scanbench and reused by later runs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RandomWord.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixShellFolders.h"
#include "removal/ExclusionList.h"
#include "scan/CompanyNameReader.h"
#include "scan/FileWalker.h"
#include "scan/KnownLocationScan.h"
#include "scan/ScanSink.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace {

using namespace nightjar;
using bench::kLowerCaseLetters;
using bench::RandomWord;
using Clock = std::chrono::steady_clock;

constexpr const char* kRoot = "/tmp/nj-scanbench";
constexpr int kTop = 20;
constexpr int kMid = 10;
constexpr int kLeaf = 100;
constexpr int kFilesPerLeaf = 10;
constexpr int kSignatures = 100000;
constexpr int kKnownLines = 100000;
constexpr int kRuns = 3;

/// A sink like the application's: counters, a throttled refresh, nothing shown.
class CountingSink : public scan::ScanSink {
  public:
    scan::ScanCounters& counters() override { return c_; }
    bool stopRequested() const override { return false; }
    void pump() override { ++pumps; }
    bool scanRunning() const override { return true; }
    const std::string& statusPrefix() const override { return prefix_; }
    std::string msg(std::string_view) const override { return {}; }
    void addFeedRow(scan::FeedRow) override { ++rows; }
    void addFoundItem(scan::FoundItem) override { ++found; }
    void addFileWorkRow(scan::FileWorkRow) override {}
    void addRegistryWorkRow(scan::RegistryWorkRow) override {}
    void addCookieWorkRow(scan::PathWorkRow) override {}
    void addTrace() override {}
    void UpdateScanProgress(std::string_view status, int, int) override {
        if (++c_.throttle < 25) {
            return;
        }
        shown.assign(status);
        c_.throttle = 0;
    }
    void ForceScanProgress(std::string_view status, int, int) override { shown.assign(status); }
    void setRunningItems(int) override {}

    long pumps = 0;
    long rows = 0;
    long found = 0;
    std::string shown;

  private:
    scan::ScanCounters c_;
    std::string prefix_ = "Scanning known Spyware/Adware: ";
};

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

/// Best of kRuns runs.
double best(const std::function<void()>& body) {
    double b = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = Clock::now();
        body();
        b = std::min(b, seconds(Clock::now() - t0));
    }
    return b;
}

std::string treeHost() {
    return std::string(kRoot) + "/drive_c/tree";
}

bool makeTree() {
    const std::string tree = treeHost();
    const std::string marker = std::string(kRoot) + "/tree.complete";
    if (access(marker.c_str(), F_OK) == 0) {
        return true;
    }
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    std::filesystem::create_directories(tree, ec);
    if (ec) {
        return false;
    }
    std::printf("generating the tree under %s (once)...\n", tree.c_str());
    for (int t = 0; t < kTop; ++t) {
        for (int m = 0; m < kMid; ++m) {
            for (int l = 0; l < kLeaf; ++l) {
                std::string dir = tree + "/t" + std::to_string(t) + "/m" + std::to_string(m) +
                                  "/leaf" + std::to_string(l);
                std::filesystem::create_directories(dir, ec);
                if (ec) {
                    return false;
                }
                for (int f = 0; f < kFilesPerLeaf; ++f) {
                    std::string file = dir + "/file" + std::to_string(f) + ".dat";
                    int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
                    if (fd < 0) {
                        return false;
                    }
                    ::close(fd);
                }
            }
        }
    }
    int fd = ::open(marker.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
    return true;
}

/// Definition lines as a writer stores them: scrambled, CR LF. A few name objects of the
/// tree so that the scans have hits to record.
std::string signatureFile(bool files, unsigned seed, int count) {
    std::mt19937 rng(seed);
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string line;
        if (i % 2000 == 7) {
            // Matches the files of that name in every tN\mM\leafL folder: 20 per entry.
            const int m = static_cast<int>(rng() % kMid);
            const int l = static_cast<int>(rng() % kLeaf);
            std::string tail = "\\m" + std::to_string(m) + "\\leaf" + std::to_string(l);
            line = files ? "file" + std::to_string(rng() % kFilesPerLeaf) +
                               ".dat=Bench.Hit|[drive]\\elsewhere" + tail + "|Adware"
                         : "key=Bench.Dir|C:\\tree\\t" + std::to_string(rng() % kTop) + tail +
                               "|Adware";
        } else {
            std::string vendor = RandomWord(rng, 4, 12, kLowerCaseLetters);
            std::string loc;
            switch (rng() % 6) {
                case 0:
                    loc = "[progfil]" + vendor;
                    break;
                case 1:
                    loc = "[windir]system32";
                    break;
                case 2:
                    loc = "[appdata]" + vendor;
                    break;
                case 3:
                    loc = "[drive]\\" + vendor;
                    break;
                case 4:
                    loc = "[comapp]" + vendor + "\\" + RandomWord(rng, 4, 9, kLowerCaseLetters);
                    break;
                default:
                    loc = "[drive]tree\\t" + std::to_string(rng() % kTop) + "\\" + vendor;
                    break;
            }
            line = (files ? RandomWord(rng, 4, 12, kLowerCaseLetters) + ".exe" : vendor) +
                   "=Threat." + RandomWord(rng, 4, 9, kLowerCaseLetters) + "|" + loc + "|Spyware";
        }
        out += definitions::ScrambleLine(line);
        out += "\r\n";
    }
    return out;
}

struct Env {
    std::unique_ptr<platform::posix::PosixFileSystem> fs;
    std::unique_ptr<platform::posix::PosixShellFolders> shell;
    std::unique_ptr<definitions::PlaceholderExpander> expander;
    std::string dataFolder;
};

bool setUp(Env& env) {
    std::string error;
    if (!platform::posix::MachineRoot::create(kRoot, error, "bench")) {
        std::fprintf(stderr, "machine root: %s\n", error.c_str());
        return false;
    }
    if (!makeTree()) {
        std::fprintf(stderr, "could not generate the tree\n");
        return false;
    }
    env.fs =
        std::make_unique<platform::posix::PosixFileSystem>(platform::posix::MachineRoot(kRoot));
    env.shell = std::make_unique<platform::posix::PosixShellFolders>("bench");
    env.expander = std::make_unique<definitions::PlaceholderExpander>(*env.shell);
    env.dataFolder = definitions::DataFolder(*env.expander);
    env.fs->createFolder(env.dataFolder);
    auto file = [&](std::string_view name) { return definitions::DataFile(env.dataFolder, name); };
    return env.fs->writeAll(file(definitions::kFileDefinition),
                            signatureFile(true, 1, kSignatures)) &&
           env.fs->writeAll(file(definitions::kDirectoryDefinition),
                            signatureFile(false, 2, kSignatures)) &&
           env.fs->writeAll(file(definitions::kRegistryDefinition), "") &&
           env.fs->writeAll(file(definitions::kExeDefinition), "") &&
           env.fs->writeAll(file(definitions::kBlockedCookies), "");
}

/// Decodes the known-location lines and tests each path, the least the phases must do.
long knownBaseline(Env& env, std::string_view fileName, bool folders) {
    LineReader reader(*env.fs, definitions::DataFile(env.dataFolder, fileName));
    const std::string drive = env.expander->SystemDriveRoot();
    std::string raw;
    long present = 0;
    while (reader.next(raw)) {
        std::string line = definitions::UnscrambleLine(raw);
        auto fields = text::split(line, "|");
        if (fields.size() < 2) {
            continue;
        }
        std::string loc = text::replaceAll(fields[1], "[drive]", drive);
        env.expander->ExpandInPlace(loc);
        loc = text::collapseBackslashes(loc);
        if (folders) {
            present += env.fs->folderExists(loc) ? 1 : 0;
        } else {
            std::string name = text::trim(text::split(fields[0], "=")[0]);
            present += env.fs->exists(text::collapseBackslashes(loc + "\\" + name)) ? 1 : 0;
        }
    }
    return present;
}

}  // namespace

int main(int argc, char** argv) {
    // "folder" runs only the Folder Scan part (for profiling).
    const bool folderOnly = argc > 1 && std::string(argv[1]) == "folder";
    Env env;
    if (!setUp(env)) {
        return 1;
    }
    removal::ExclusionList exclusions(*env.fs, env.dataFolder);
    exclusions.LoadExclusions();
    scan::CompanyNameReader company(*env.fs);
    definitions::SignatureStore store(*env.fs, *env.expander, env.dataFolder);
    definitions::LoadObserver observer;
    store.LoadSafetyEntries(observer);
    store.CountDefinitions();
    auto t0 = Clock::now();
    store.LoadFileSignatures(observer);
    std::printf("loaded %zu file and %zu folder signatures in %.2f s\n",
                store.FileSignatures().size(), store.DirectorySignatures().size(),
                seconds(Clock::now() - t0));

    // 1. Folder Scan against find.
    const std::string findCommand = "find " + treeHost() + " > /dev/null";
    if (std::system(findCommand.c_str()) != 0) {  // also warms the caches
        std::fprintf(stderr, "find failed\n");
        return 1;
    }
    long inspected = 0;
    long hits = 0;
    // Each run builds its walker, so the time includes building the signature index.
    const double scanTime = best([&] {
        scan::FileWalker walker(*env.fs, store, *env.expander, exclusions, company);
        CountingSink sink;
        walker.ScanFolderTree("C:\\tree\\", sink);
        inspected = sink.counters().filesFolders;
        hits = sink.found;
    });
    // The program keeps its walker: later scans find the index built.
    scan::FileWalker kept(*env.fs, store, *env.expander, exclusions, company);
    const double repeatTime = best([&] {
        CountingSink sink;
        kept.ScanFolderTree("C:\\tree\\", sink);
    });
    const double findTime = best([&] {
        if (std::system(findCommand.c_str()) != 0) {
            std::fprintf(stderr, "find failed\n");
        }
    });
    // For reference: the platform layer's folder listings alone, over the same tree, asking
    // what the walk asks.
    long listed = 0;
    const double listTime = best([&] {
        listed = 0;
        std::vector<std::string> stack = {"C:\\tree\\"};
        while (!stack.empty()) {
            std::string folder = std::move(stack.back());
            stack.pop_back();
            auto entries = env.fs->listEntries(folder, platform::ListDetail::PlainFolders);
            if (!entries) {
                continue;
            }
            for (const auto& e : *entries) {
                ++listed;
                if (e.attributes == platform::attr::Directory) {
                    stack.push_back(folder + e.name + "\\");
                }
            }
        }
    });
    std::printf(
        "folder scan: %ld objects inspected, %ld threats, %.3f s (index kept: %.3f s); "
        "find: %.3f s; platform listings alone: %ld objects, %.3f s (%.2f x find)\n",
        inspected, hits, scanTime, repeatTime, findTime, listed, listTime, listTime / findTime);

    if (folderOnly) {
        std::printf("RATIO folder_scan %.2f\n", scanTime / findTime);
        return 0;
    }

    // 2. Known-location phases against decoding and testing the same lines.
    auto file = [&](std::string_view name) { return definitions::DataFile(env.dataFolder, name); };
    if (!env.fs->writeAll(file(definitions::kFileDefinition),
                          signatureFile(true, 3, kKnownLines)) ||
        !env.fs->writeAll(file(definitions::kDirectoryDefinition),
                          signatureFile(false, 4, kKnownLines))) {
        return 1;
    }
    store.CountDefinitions();
    long known = 0;
    const double knownTime = best([&] {
        scan::KnownLocationScan phases(*env.fs, store, *env.expander, exclusions, company);
        CountingSink sink;
        phases.ScanKnownFiles(sink);
        phases.ScanKnownFolders(sink);
        known = sink.found;
    });
    long present = 0;
    const double baseTime = best([&] {
        present = knownBaseline(env, definitions::kFileDefinition, false) +
                  knownBaseline(env, definitions::kDirectoryDefinition, true);
    });
    std::printf("known locations: %ld threats (%ld present), %.3f s; baseline: %.3f s\n", known,
                present, knownTime, baseTime);

    if (findTime <= 0 || baseTime <= 0) {
        return 1;
    }
    std::printf("RATIO folder_scan %.2f\n", scanTime / findTime);
    std::printf("RATIO smart_scan_known %.2f\n", knownTime / baseTime);
    return 0;
}
