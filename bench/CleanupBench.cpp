// What a clean-up pass costs over a Logs tree of 100,000 period files (250
// folders of 400 files, like a machine with 200 users and 50 printers):
// a pass that keeps every file beside a bare walk of the tree, and a pass
// that deletes every file beside bare deletions.

#include "Clock.h"
#include "OldLogCleaner.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 250;
constexpr int kFilesPerFolder = 400;

fs::path MakeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

// 10 March 2024: day files of the 9th to the 28th are kept (the day rule
// reads only the day), those of the 1st to the 8th deleted.
ostrel::Clock::TimePoint Today()
{
    return ostrel::LocalTimePoint(2024, 3, 10, 12);
}

std::vector<fs::path> Folders(const fs::path& logs)
{
    std::vector<fs::path> folders{logs};
    for (int user = 1; user < 200; ++user)
        folders.push_back(logs / "Users" / ("user w_" + std::to_string(user)));
    for (int printer = 1; printer <= 50; ++printer)
        folders.push_back(logs / "Printers" / ("Printer_" + std::to_string(printer)));
    return folders;
}

// Writes the tree: files of the kept days, or of the deleted ones.
std::vector<fs::path> WriteTree(const fs::path& logs, bool kept)
{
    std::vector<fs::path> files;
    const std::string blanks(525, ' ');
    for (const fs::path& folder : Folders(logs)) {
        fs::create_directories(folder);
        int written = 0;
        for (int year = 2000; written < kFilesPerFolder; ++year)
            for (int month = 1; month <= 12 && written < kFilesPerFolder; ++month)
                for (int day = kept ? 9 : 1; day <= (kept ? 28 : 8) && written < kFilesPerFolder; ++day, ++written) {
                    char name[32];
                    std::snprintf(name, sizeof name, "d_%04d%02d%02d.xml", year, month, day);
                    files.push_back(folder / name);
                    std::ofstream(files.back(), std::ios::binary) << blanks;
                }
    }
    return files;
}

struct KeptTree {
    KeptTree() : folder(MakeFolder()) { WriteTree(folder / "Logs", true); }
    ~KeptTree() { fs::remove_all(folder); }
    fs::path folder;
};

KeptTree& Kept()
{
    static KeptTree tree;
    return tree;
}

void BM_CleanPassKeeping100k(benchmark::State& state)
{
    const fs::path app = Kept().folder;
    for (auto _ : state) {
        const ostrel::CleanupTally tally = ostrel::CleanOldLogs(app, Today());
        if (tally.periodFiles != kFolders * kFilesPerFolder || tally.deleted != 0)
            state.SkipWithError("the tree is not what the benchmark wrote");
    }
    state.SetItemsProcessed(state.iterations() * kFolders * kFilesPerFolder);
}
BENCHMARK(BM_CleanPassKeeping100k)->UseRealTime();

// The least any pass must do: walk the tree and look at every entry.
void BM_BaselineWalk100k(benchmark::State& state)
{
    const fs::path logs = Kept().folder / "Logs";
    for (auto _ : state) {
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(logs))
            files += entry.is_regular_file() ? 1 : 0;
        benchmark::DoNotOptimize(files);
    }
    state.SetItemsProcessed(state.iterations() * kFolders * kFilesPerFolder);
}
BENCHMARK(BM_BaselineWalk100k)->UseRealTime();

void BM_CleanPassDeleting100k(benchmark::State& state)
{
    const fs::path folder = MakeFolder();
    for (auto _ : state) {
        state.PauseTiming();
        WriteTree(folder / "Logs", false);
        ::sync();  // the writing of the tree is not the pass's cost
        state.ResumeTiming();
        const ostrel::CleanupTally tally = ostrel::CleanOldLogs(folder, Today());
        if (tally.deleted != kFolders * kFilesPerFolder)
            state.SkipWithError("not every file was deleted");
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_CleanPassDeleting100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The least any deleting pass must do: one unlink per file.
void BM_BaselineUnlink100k(benchmark::State& state)
{
    const fs::path folder = MakeFolder();
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<fs::path> files = WriteTree(folder / "Logs", false);
        ::sync();
        state.ResumeTiming();
        std::error_code error;
        for (const fs::path& file : files)
            fs::remove(file, error);
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_BaselineUnlink100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
