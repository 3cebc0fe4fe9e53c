#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One value of a row or a parameter, in PostgreSQL's text form; nothing
// stands for NULL.
using SqlValue = std::optional<std::string>;
using SqlRow = std::vector<SqlValue>;

// What a request to the database came to. `error` holds the server's or
// the client library's message, never a password; `rows` the rows of a
// query (empty for a streamed one); `affected` the rows a command changed
// or a COPY took.
struct SqlAnswer {
    std::optional<std::string> error = {};
    std::vector<SqlRow> rows = {};
    std::uint64_t affected = 0;

    bool Ok() const { return !error; }
};

// One open session with a database server. SQL text is always our own
// fixed text; whatever comes from outside travels as a parameter ($1, $2,
// ...) or as a COPY row. Belongs to one thread at a time.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;

    // One statement with its parameters.
    virtual SqlAnswer Run(const std::string& sql, const std::vector<SqlValue>& parameters = {}) = 0;

    // Statements of ours without parameters, separated by semicolons (a
    // schema file). Stops at the first that fails.
    virtual SqlAnswer RunScript(const std::string& sql) = 0;

    // `copySql` is "COPY <table> (<columns>) FROM STDIN"; the rows are
    // encoded by the connection. `affected` is the number of rows taken.
    virtual SqlAnswer Copy(const std::string& copySql, const std::vector<SqlRow>& rows) = 0;

    // A query whose rows are handed to `onRow` one at a time as they
    // arrive, never held together; `onRow` returns false to stop early
    // (the rest is read and dropped).
    virtual SqlAnswer Stream(const std::string& sql, const std::vector<SqlValue>& parameters,
                             const std::function<bool(const SqlRow&)>& onRow) = 0;

    // False once the session is lost (the server went away): make a new one.
    virtual bool Usable() const = 0;
};

// Opens sessions. Thread-safe.
class SqlDatabase {
public:
    virtual ~SqlDatabase() = default;

    struct Opened {
        std::unique_ptr<SqlConnection> connection;  // null when it failed
        std::string error = {};                     // why, without a password
    };

    // `conninfo` is a libpq connection string ("service=ostrel",
    // "host=... dbname=... user=..."). Gives up after a bounded time when
    // the server does not answer.
    virtual Opened Open(const std::string& conninfo) = 0;
};

}  // namespace ostrel
