#pragma once

#include "SqlDatabase.h"

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <vector>

namespace ostrel::pq {

struct ConnectionClose {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using ConnectionHandle = std::unique_ptr<PGconn, ConnectionClose>;
using ResultHandle = std::unique_ptr<PGresult, ResultClear>;

// A session on an open libpq connection, which it owns. Messages are kept
// free of `secrets` (the password of the connection string or passfile).
class PqConnection final : public SqlConnection {
public:
    PqConnection(ConnectionHandle connection, std::vector<std::string> secrets);

    SqlAnswer Run(const std::string& sql, const std::vector<SqlValue>& parameters) override;
    SqlAnswer RunScript(const std::string& sql) override;
    SqlAnswer Copy(const std::string& copySql, const std::vector<SqlRow>& rows) override;
    SqlAnswer Stream(const std::string& sql, const std::vector<SqlValue>& parameters,
                     const std::function<bool(const SqlRow&)>& onRow) override;
    bool Usable() const override;

private:
    // The answer a finished result gives: its rows, or its error.
    SqlAnswer Answer(const PGresult* result) const;
    std::string ConnectionError() const;

    ConnectionHandle connection_;
    std::vector<std::string> secrets_;
};

}  // namespace ostrel::pq
