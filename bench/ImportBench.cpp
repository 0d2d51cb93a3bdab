// The admin import against a plain SQLite insert of the same rows.
//
// A store of 100,000 current FILE entries, and a file of 100,000 new lines (one in a
// hundred sharing its file name with a stored entry, so the shared-key warnings have work).
// The import reads, validates and adds the lines and checks every added entry against the
// current ones; the baseline inserts the same rows into a copy of the same database in one
// transaction. Prints "RATIO admin_import X.XX" (import time / insert time).

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include "RatioReporter.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AdminTool.h"
#include "DefinitionStore.h"

namespace {

using namespace nightjar;

constexpr int kStored = 100000;
constexpr int kImported = 100000;

struct Fixture {
    std::string hostRoot;
    std::string templateDb;
    std::string importFile;
    std::vector<std::string> lines;
};

Fixture* gFixture = nullptr;

std::string line(const char* prefix, int i) {
    return std::string(prefix) + std::to_string(i) + ".exe=NJBench.Threat" + std::to_string(i) +
           "|[progfil]NJBench\\Folder" + std::to_string(i % 997) + "|Adware";
}

bool setUp(Fixture& f) {
    std::string templ = "/tmp/nj-importbench-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
        return false;
    }
    f.hostRoot = templ;
    f.templateDb = f.hostRoot + "/template.db";
    f.importFile = f.hostRoot + "/import.txt";
    std::string error;
    {
        std::unique_ptr<server::DefinitionStore> store =
            server::DefinitionStore::open(f.templateDb, error);
        std::vector<std::string> stored;
        for (int i = 0; i < kStored; ++i) {
            stored.push_back(line("stored", i));
        }
        if (!store || !store->add("FILE", stored, 1'500'000'000).ok) {
            return false;
        }
    }
    std::ofstream out(f.importFile, std::ios::binary);
    for (int i = 0; i < kImported; ++i) {
        // Same file name as a stored entry, another folder: a shared key.
        f.lines.push_back(i % 100 == 0
                              ? "stored" + std::to_string(i) + ".exe=NJBench.Other|[windir]|Adware"
                              : line("imported", i));
        out << f.lines.back() << "\r\n";
    }
    return static_cast<bool>(out.flush());
}

/// A fresh copy of the stored database to change.
std::string freshCopy(const Fixture& f) {
    const std::string db = f.hostRoot + "/work.db";
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(db + suffix);
    }
    std::filesystem::copy_file(f.templateDb, db);
    return db;
}

void BM_PlainInsert(benchmark::State& state) {
    Fixture& f = *gFixture;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string db = freshCopy(f);
        state.ResumeTiming();
        sqlite3* conn = nullptr;
        sqlite3_stmt* insert = nullptr;
        bool ok = sqlite3_open(db.c_str(), &conn) == SQLITE_OK &&
                  sqlite3_exec(conn, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN",
                               nullptr, nullptr, nullptr) == SQLITE_OK &&
                  sqlite3_prepare_v2(conn,
                                     "INSERT INTO definitions(kind, body, added_at) "
                                     "VALUES('FILE', ?, 1600000000)",
                                     -1, &insert, nullptr) == SQLITE_OK;
        for (std::size_t i = 0; ok && i < f.lines.size(); ++i) {
            sqlite3_bind_blob(insert, 1, f.lines[i].data(), static_cast<int>(f.lines[i].size()),
                              SQLITE_STATIC);
            ok = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        ok = ok && sqlite3_exec(conn, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(conn);
        if (!ok) {
            state.SkipWithError("plain insert failed");
            return;
        }
    }
}

void BM_AdminImport(benchmark::State& state) {
    Fixture& f = *gFixture;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string db = freshCopy(f);
        state.ResumeTiming();
        std::string error;
        std::unique_ptr<server::DefinitionStore> store = server::DefinitionStore::open(db, error);
        std::ostringstream out;
        std::ostringstream err;
        if (!store || server::AdminTool(*store, out, err).importFile("FILE", f.importFile) != 0) {
            state.SkipWithError("import failed");
            return;
        }
    }
}

BENCHMARK(BM_PlainInsert)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AdminImport)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return nightjar::bench::runRatioBenchmark(argc, argv, gFixture, setUp,
                                              nightjar::bench::RatioReporter::Clock::Real,
                                              "admin_import", "BM_AdminImport", "BM_PlainInsert");
}
