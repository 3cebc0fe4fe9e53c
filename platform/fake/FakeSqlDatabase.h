#pragma once

#include "SqlDatabase.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// A database for unit tests of what talks to one: it answers every
// statement with success and no rows, keeps the rows COPY sends, and moves
// them to `Committed` at COMMIT. The test can take it down (Open fails,
// open sessions are lost) and make commits fail. Thread-safe.
class FakeSqlDatabase final : public SqlDatabase {
public:
    Opened Open(const std::string& conninfo) override;

    void SetDown(bool down);
    // The next `count` COMMITs fail, the session staying usable.
    void FailCommits(std::size_t count);

    std::size_t Opens() const;
    std::vector<SqlRow> Committed() const;
    // Every statement run so far, in order, COPY included.
    std::vector<std::string> Statements() const;
    // The parameters of every statement, in the same order.
    std::vector<std::vector<SqlValue>> Parameters() const;

private:
    friend class FakeSqlConnection;
    SqlAnswer Execute(std::size_t session, const std::string& sql, const std::vector<SqlValue>& parameters,
                      const std::vector<SqlRow>* rows);
    bool Usable(std::size_t session) const;

    mutable std::mutex mutex_;
    bool down_ = false;
    std::size_t failCommits_ = 0;
    std::size_t opens_ = 0;
    std::size_t firstLiveSession_ = 0;  // sessions before it were lost
    std::vector<SqlRow> staged_;
    std::vector<SqlRow> committed_;
    std::vector<std::string> statements_;
    std::vector<std::vector<SqlValue>> parameters_;
};

}  // namespace ostrel
