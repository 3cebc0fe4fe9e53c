#include "PqConnection.h"

#include "PqText.h"

#include <charconv>
#include <cstring>

namespace ostrel::pq {
namespace {

// Parameter pointers for libpq: NULL for a missing value.
std::vector<const char*> ParameterValues(const std::vector<SqlValue>& parameters)
{
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const SqlValue& value : parameters)
        values.push_back(value ? value->c_str() : nullptr);
    return values;
}

SqlRow RowOf(const PGresult* result, int row)
{
    SqlRow values;
    const int columns = PQnfields(result);
    values.reserve(columns);
    for (int column = 0; column < columns; ++column) {
        if (PQgetisnull(result, row, column))
            values.emplace_back(std::nullopt);
        else
            values.emplace_back(
                std::string(PQgetvalue(result, row, column), static_cast<size_t>(PQgetlength(result, row, column))));
    }
    return values;
}

std::uint64_t AffectedRows(const PGresult* result)
{
    const char* text = PQcmdTuples(const_cast<PGresult*>(result));
    std::uint64_t count = 0;
    if (text && *text)
        std::from_chars(text, text + std::strlen(text), count);
    return count;
}

constexpr size_t kCopyChunk = 64 * 1024;

}  // namespace

PqConnection::PqConnection(ConnectionHandle connection, std::vector<std::string> secrets)
    : connection_(std::move(connection)), secrets_(std::move(secrets))
{
}

std::string PqConnection::ConnectionError() const
{
    return Redacted(PQerrorMessage(connection_.get()), secrets_);
}

SqlAnswer PqConnection::Answer(const PGresult* result) const
{
    SqlAnswer answer;
    if (!result) {
        answer.error = ConnectionError();
        return answer;
    }
    switch (PQresultStatus(result)) {
    case PGRES_TUPLES_OK:
        for (int row = 0; row < PQntuples(result); ++row)
            answer.rows.push_back(RowOf(result, row));
        answer.affected = AffectedRows(result);
        break;
    case PGRES_COMMAND_OK: answer.affected = AffectedRows(result); break;
    default:
        answer.error = Redacted(PQresultErrorMessage(result), secrets_);
        if (answer.error->empty())
            answer.error = ConnectionError();
        break;
    }
    return answer;
}

SqlAnswer PqConnection::Run(const std::string& sql, const std::vector<SqlValue>& parameters)
{
    const std::vector<const char*> values = ParameterValues(parameters);
    ResultHandle result(PQexecParams(connection_.get(), sql.c_str(), static_cast<int>(values.size()), nullptr,
                                     values.data(), nullptr, nullptr, 0));
    return Answer(result.get());
}

SqlAnswer PqConnection::RunScript(const std::string& sql)
{
    ResultHandle result(PQexec(connection_.get(), sql.c_str()));
    return Answer(result.get());
}

SqlAnswer PqConnection::Copy(const std::string& copySql, const std::vector<SqlRow>& rows)
{
    PGconn* connection = connection_.get();
    {
        ResultHandle started(PQexec(connection, copySql.c_str()));
        if (!started || PQresultStatus(started.get()) != PGRES_COPY_IN) {
            SqlAnswer answer = Answer(started.get());
            if (answer.Ok())
                answer.error = "not a COPY FROM STDIN: " + copySql;
            return answer;
        }
    }
    // The rows go out in chunks; a failure is reported by the result that ends the COPY.
    std::string chunk;
    bool sent = true;
    for (const SqlRow& row : rows) {
        AppendCopyRow(chunk, row);
        if (chunk.size() >= kCopyChunk) {
            sent = PQputCopyData(connection, chunk.data(), static_cast<int>(chunk.size())) == 1;
            chunk.clear();
            if (!sent)
                break;
        }
    }
    if (sent && !chunk.empty())
        sent = PQputCopyData(connection, chunk.data(), static_cast<int>(chunk.size())) == 1;
    PQputCopyEnd(connection, sent ? nullptr : "the rows could not be sent");

    SqlAnswer answer;
    bool answered = false;
    while (ResultHandle result{PQgetResult(connection)}) {
        if (!answered) {
            answer = Answer(result.get());
            answered = true;
        }
    }
    if (!answered)
        answer.error = ConnectionError();
    return answer;
}

SqlAnswer PqConnection::Stream(const std::string& sql, const std::vector<SqlValue>& parameters,
                               const std::function<bool(const SqlRow&)>& onRow)
{
    PGconn* connection = connection_.get();
    const std::vector<const char*> values = ParameterValues(parameters);
    SqlAnswer answer;
    if (!PQsendQueryParams(connection, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                           nullptr, 0)) {
        answer.error = ConnectionError();
        return answer;
    }
    PQsetSingleRowMode(connection);
    bool wanted = true;
    bool answered = false;
    // Every result is read, so that the connection is ready for the next request.
    while (ResultHandle result{PQgetResult(connection)}) {
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_SINGLE_TUPLE) {
            if (wanted)
                wanted = onRow(RowOf(result.get(), 0));
            ++answer.affected;
            continue;
        }
        if (!answered && status != PGRES_TUPLES_OK) {
            const std::uint64_t streamed = answer.affected;
            answer = Answer(result.get());
            answer.affected = streamed;
            answered = true;
        }
    }
    return answer;
}

bool PqConnection::Usable() const
{
    return PQstatus(connection_.get()) == CONNECTION_OK;
}

}  // namespace ostrel::pq
