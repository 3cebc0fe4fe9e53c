// What the registry values and the settings document cost the monitor, each
// beside the plain file operation underneath it.

#include "Files.h"
#include "RegValue.h"
#include "SettingsDocument.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// A registry store and a settings document in a temporary folder.
struct Scratch {
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        hive = std::make_unique<ostrel::DirectoryRegistry>(folder / "registry");
        ostrel::RegValueDword value("Software\\Ostrel\\AppRuns", 0, false, *hive);
        value.Set(1);
        std::string printers;
        for (int i = 1; i <= 1000; ++i)
            printers += "<name>Printer " + std::to_string(i) + "</name><ID>" + std::to_string(i) +
                        "</ID><cost>5</cost><monitored>" + (i % 2 ? "1" : "0") + "</monitored>";
        ostrel::ReplaceFile(folder / "settings.xml", "<log><printers>" + printers + "</printers><users></users></log>");
    }
    ~Scratch() { fs::remove_all(folder); }

    fs::path ValueFile() const { return folder / "registry" / "Software" / "Ostrel" / "AppRuns"; }

    fs::path folder;
    std::unique_ptr<ostrel::DirectoryRegistry> hive;
};

Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
}

void BM_RegValueDwordRead(benchmark::State& state)
{
    auto& scratch = TheScratch();
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrel::RegValueDword("Software\\Ostrel\\AppRuns", 0, false, *scratch.hive).Get());
}
BENCHMARK(BM_RegValueDwordRead);

void BM_BaselineFileRead(benchmark::State& state)
{
    const fs::path file = TheScratch().ValueFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrel::ReadFileBytes(file));
}
BENCHMARK(BM_BaselineFileRead);

void BM_RegValueDwordWrite(benchmark::State& state)
{
    auto& scratch = TheScratch();
    ostrel::RegValueDword value("Software\\Ostrel\\Reset", 0, false, *scratch.hive);
    for (auto _ : state)
        value.Write();
}
BENCHMARK(BM_RegValueDwordWrite);

void BM_BaselineReplaceFile(benchmark::State& state)
{
    const fs::path file = TheScratch().folder / "plain";
    const std::string bytes("REG_DWORD\n\1\0\0\0", 14);
    for (auto _ : state)
        ostrel::ReplaceFile(file, bytes);
}
BENCHMARK(BM_BaselineReplaceFile);

void BM_ReadMonitoredPrinters1000(benchmark::State& state)
{
    const auto document = ostrel::SettingsDocument::InFolder(TheScratch().folder.string());
    for (auto _ : state)
        benchmark::DoNotOptimize(document.ReadMonitoredPrinters());
}
BENCHMARK(BM_ReadMonitoredPrinters1000);

void BM_BaselineReadSettings1000(benchmark::State& state)
{
    const fs::path file = TheScratch().folder / "settings.xml";
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrel::ReadFileBytes(file));
}
BENCHMARK(BM_BaselineReadSettings1000);

}  // namespace

BENCHMARK_MAIN();
