// What recording a job costs: records per second through the period log
// writer from 1, 4 and 16 monitors at once, durable (each journal line
// synced before the appends, shared by the records taken meanwhile, and the
// period files synced once per batch), beside the bare eighteen
// open-append-close cycles of one record, unsynced; and one record when
// settings.xml holds 1,000 printers and 10,000 users.

#include "DocumentNames.h"
#include "EventLogWriter.h"
#include "Files.h"
#include "JobRecorder.h"
#include "RegistryHive.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path MakeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

std::string Settings(int printers, int users)
{
    std::string text = "<log><printers>";
    for (int i = printers; i >= 1; --i)
        text += "<name>Printer " + std::to_string(i) + "</name><ID>" + std::to_string(i) +
                "</ID><cost>5</cost><monitored>1</monitored>";
    text += "</printers><users>";
    for (int i = users; i >= 1; --i)
        text += "<username>user" + std::to_string(i) + "</username>";
    return text + "</users></log>";
}

// One application folder per benchmark run, removed at its end.
struct Scratch {
    explicit Scratch(const std::string& settings) : folder(MakeFolder())
    {
        ostrel::ReplaceFile(folder / "settings.xml", settings);
    }
    ~Scratch() { fs::remove_all(folder); }

    fs::path folder;
    ostrel::EventLogWriter writer{folder.string(), ostrel::SystemClock()};
    ostrel::DirectoryRegistry registry{folder / "registry"};
    ostrel::JobRecorder recorder{writer, registry};
};

std::unique_ptr<Scratch> g_scratch;

ostrel::PrintJob Job(int user)
{
    ostrel::PrintJob job;
    job.id = 1;
    job.document = "Quarterly report.pdf";
    job.user = "user" + std::to_string(user);
    job.totalPages = 3;
    job.submitted = {2026, 3, 4, 5, 9, 5, 0, 0};
    return job;
}

void Record(benchmark::State& state, const std::string& settings)
{
    if (state.thread_index() == 0) {
        g_scratch = std::make_unique<Scratch>(settings);
        // The day's files and folders exist, as for every record but the
        // first of a day: what is measured is the steady state.
        for (int monitor = 1; monitor <= state.threads(); ++monitor)
            g_scratch->recorder.Record(Job(monitor), "5", "Printer " + std::to_string(monitor));
        g_scratch->writer.Settle();
    }
    // Every monitor records its own user's jobs on its own printer.
    const ostrel::PrintJob job = Job(state.thread_index() + 1);
    const std::string printer = "Printer " + std::to_string(state.thread_index() + 1);
    for (auto _ : state)
        g_scratch->recorder.Record(job, "5", printer);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0)
        g_scratch.reset();
}

void BM_RecordThroughWriter(benchmark::State& state)
{
    Record(state, Settings(16, 16));
}
BENCHMARK(BM_RecordThroughWriter)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

void BM_RecordWithLargeSettings(benchmark::State& state)
{
    Record(state, Settings(1000, 10000));
}
BENCHMARK(BM_RecordWithLargeSettings)->UseRealTime();

// What every record pays to learn whether it may name its document, beside
// the record itself above: one read of a registry value.
void BM_ReadTheDocumentNamesSwitch(benchmark::State& state)
{
    const fs::path folder = MakeFolder();
    ostrel::DirectoryRegistry registry(folder);
    ostrel::SetRecordsDocumentNames(false, registry);
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrel::RecordsDocumentNames(registry));
    state.SetItemsProcessed(state.iterations());
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadTheDocumentNamesSwitch)->UseRealTime();

// The least any writer must do: eighteen open-append-close cycles.
void BM_BaselineEighteenAppends(benchmark::State& state)
{
    static fs::path folder;
    if (state.thread_index() == 0)
        folder = MakeFolder();
    const std::string record = ostrel::JobRecorder::EventText(Job(1), "5", "Printer 1");
    const std::string prefix = "t" + std::to_string(state.thread_index()) + "_";
    for (auto _ : state)
        for (int file = 0; file < 18; ++file)
            ostrel::AppendToFile(folder / (prefix + std::to_string(file) + ".xml"), record);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0)
        fs::remove_all(folder);
}
BENCHMARK(BM_BaselineEighteenAppends)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

// The least a durable record must wait for: one append, then fdatasync.
void BM_BaselineOneSyncedAppend(benchmark::State& state)
{
    static fs::path folder;
    if (state.thread_index() == 0)
        folder = MakeFolder();
    const std::string record = ostrel::JobRecorder::EventText(Job(1), "5", "Printer 1");
    ostrel::FileDescriptor fd(::open((folder / ("t" + std::to_string(state.thread_index()))).c_str(),
                                     O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    for (auto _ : state)
        if (!ostrel::WriteAll(fd.Get(), record) || !ostrel::SyncData(fd.Get()))
            state.SkipWithError("cannot append");
    state.SetItemsProcessed(state.iterations());
    fd.Reset();
    if (state.thread_index() == 0)
        fs::remove_all(folder);
}
BENCHMARK(BM_BaselineOneSyncedAppend)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
