#include "FakeSqlDatabase.h"

namespace ostrel {

class FakeSqlConnection final : public SqlConnection {
public:
    FakeSqlConnection(FakeSqlDatabase& database, std::size_t session) : database_(database), session_(session) {}

    SqlAnswer Run(const std::string& sql, const std::vector<SqlValue>& parameters) override
    {
        return database_.Execute(session_, sql, parameters, nullptr);
    }
    SqlAnswer RunScript(const std::string& sql) override { return database_.Execute(session_, sql, {}, nullptr); }
    SqlAnswer Copy(const std::string& copySql, const std::vector<SqlRow>& rows) override
    {
        return database_.Execute(session_, copySql, {}, &rows);
    }
    SqlAnswer Stream(const std::string& sql, const std::vector<SqlValue>& parameters,
                     const std::function<bool(const SqlRow&)>&) override
    {
        return database_.Execute(session_, sql, parameters, nullptr);
    }
    bool Usable() const override { return database_.Usable(session_); }

private:
    FakeSqlDatabase& database_;
    std::size_t session_;
};

SqlDatabase::Opened FakeSqlDatabase::Open(const std::string&)
{
    std::lock_guard lock(mutex_);
    ++opens_;
    if (down_)
        return {nullptr, "connection to server failed: the fake database is down"};
    return {std::make_unique<FakeSqlConnection>(*this, opens_)};
}

void FakeSqlDatabase::SetDown(bool down)
{
    std::lock_guard lock(mutex_);
    down_ = down;
    if (down) {
        firstLiveSession_ = opens_ + 1;
        staged_.clear();
    }
}

void FakeSqlDatabase::FailCommits(std::size_t count)
{
    std::lock_guard lock(mutex_);
    failCommits_ = count;
}

std::size_t FakeSqlDatabase::Opens() const
{
    std::lock_guard lock(mutex_);
    return opens_;
}

std::vector<SqlRow> FakeSqlDatabase::Committed() const
{
    std::lock_guard lock(mutex_);
    return committed_;
}

std::vector<std::string> FakeSqlDatabase::Statements() const
{
    std::lock_guard lock(mutex_);
    return statements_;
}

std::vector<std::vector<SqlValue>> FakeSqlDatabase::Parameters() const
{
    std::lock_guard lock(mutex_);
    return parameters_;
}

bool FakeSqlDatabase::Usable(std::size_t session) const
{
    std::lock_guard lock(mutex_);
    return session >= firstLiveSession_;
}

SqlAnswer FakeSqlDatabase::Execute(std::size_t session, const std::string& sql, const std::vector<SqlValue>& parameters,
                                   const std::vector<SqlRow>* rows)
{
    std::lock_guard lock(mutex_);
    if (session < firstLiveSession_)
        return {"server closed the connection unexpectedly"};
    statements_.push_back(sql);
    parameters_.push_back(parameters);
    if (rows) {
        staged_.insert(staged_.end(), rows->begin(), rows->end());
        return {std::nullopt, {}, rows->size()};
    }
    if (sql == "COMMIT") {
        if (failCommits_ > 0) {
            --failCommits_;
            staged_.clear();
            return {"could not serialize access"};
        }
        committed_.insert(committed_.end(), staged_.begin(), staged_.end());
        staged_.clear();
    } else if (sql == "ROLLBACK") {
        staged_.clear();
    }
    return {};
}

}  // namespace ostrel
