#pragma once

#include "MonitorTasks.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::test {

// What a test task did, kept by the factory: the worker destroys its tasks
// when it stops.
struct TaskRecord {
    std::atomic<int> runs = 0;
    std::atomic<bool> inRun = false;
};

// A task that does nothing but wait for its stop.
template <class Base>
class IdleTask : public Base {
public:
    explicit IdleTask(TaskRecord& record) : record_(record) {}
    ~IdleTask() override { this->Stop(); }

protected:
    std::uint32_t Run(std::stop_token stop) override
    {
        ++record_.runs;
        record_.inRun = true;
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait(lock, stop, [] { return false; });
        record_.inRun = false;
        return 7;
    }

private:
    TaskRecord& record_;
};

// A printer task that lets the test act at the moment the worker names it,
// the way the console may act while the worker reloads.
class TestPrinterTask final : public IdleTask<PrinterTask> {
public:
    TestPrinterTask(TaskRecord& record, std::function<void()>& onAssign) : IdleTask(record), onAssign_(onAssign) {}

    void Assign(std::string_view printerName, std::string_view costPerPage) override
    {
        PrinterTask::Assign(printerName, costPerPage);
        if (onAssign_)
            std::exchange(onAssign_, nullptr)();
    }

private:
    std::function<void()>& onAssign_;
};

// Hands out idle tasks and keeps a view of them for the test. The task
// pointers are good while the worker runs, and read only while it sleeps;
// the records stay.
class TestTasks final : public MonitorTasks {
public:
    std::unique_ptr<PrinterTask> MakePrinterMonitor() override
    {
        auto task = std::make_unique<TestPrinterTask>(printerRecords.emplace_back(), onAssign);
        printers.push_back(task.get());
        return task;
    }
    std::unique_ptr<WorkerThread> MakeOldLogCleaner() override
    {
        auto task = std::make_unique<IdleTask<WorkerThread>>(cleanerRecord);
        cleaner = task.get();
        return task;
    }
    std::unique_ptr<WorkerThread> MakeReportMailer() override
    {
        auto task = std::make_unique<IdleTask<WorkerThread>>(mailerRecord);
        mailer = task.get();
        return task;
    }

    // "name/cost" of every running printer task, in slot order.
    std::vector<std::string> RunningPrinters() const
    {
        std::vector<std::string> running;
        for (const auto* task : printers)
            if (task->Running())
                running.push_back(task->PrinterName() + "/" + task->CostPerPage());
        return running;
    }

    std::function<void()> onAssign;  // runs once, at the next Assign
    bool AnyTaskInRun() const
    {
        for (const auto& record : printerRecords)
            if (record.inRun)
                return true;
        return cleanerRecord.inRun || mailerRecord.inRun;
    }

    std::vector<TestPrinterTask*> printers;
    IdleTask<WorkerThread>* cleaner = nullptr;
    IdleTask<WorkerThread>* mailer = nullptr;
    std::deque<TaskRecord> printerRecords;  // in slot order, from slot 1
    TaskRecord cleanerRecord;
    TaskRecord mailerRecord;
};

}  // namespace ostrel::test
