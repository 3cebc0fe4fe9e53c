#pragma once

#include "MonitorTasks.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::test {

// A task that does nothing but wait for its stop, counting its runs.
template <class Base>
class IdleTask : public Base {
public:
    ~IdleTask() override { this->Stop(); }

    int Runs() const { return runs_.load(); }

protected:
    std::uint32_t Run(std::stop_token stop) override
    {
        ++runs_;
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait(lock, stop, [] { return false; });
        return 7;
    }

private:
    std::atomic<int> runs_ = 0;
};

// A printer task that lets the test act at the moment the worker names it,
// the way the console may act while the worker reloads.
class TestPrinterTask final : public IdleTask<PrinterTask> {
public:
    explicit TestPrinterTask(std::function<void()>& onAssign) : onAssign_(onAssign) {}

    void Assign(std::string_view printerName, std::string_view costPerPage) override
    {
        PrinterTask::Assign(printerName, costPerPage);
        if (onAssign_)
            std::exchange(onAssign_, nullptr)();
    }

private:
    std::function<void()>& onAssign_;
};

// Hands out idle tasks and keeps a view of them for the test. Read the
// view only while the worker sleeps.
class TestTasks final : public MonitorTasks {
public:
    std::unique_ptr<PrinterTask> MakePrinterMonitor() override
    {
        auto task = std::make_unique<TestPrinterTask>(onAssign);
        printers.push_back(task.get());
        return task;
    }
    std::unique_ptr<WorkerThread> MakeOldLogCleaner() override
    {
        auto task = std::make_unique<IdleTask<WorkerThread>>();
        cleaner = task.get();
        return task;
    }
    std::unique_ptr<WorkerThread> MakeReportMailer() override
    {
        auto task = std::make_unique<IdleTask<WorkerThread>>();
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
    std::vector<TestPrinterTask*> printers;
    IdleTask<WorkerThread>* cleaner = nullptr;
    IdleTask<WorkerThread>* mailer = nullptr;
};

}  // namespace ostrel::test
