#include "PqDatabase.h"

#include "PqConnection.h"
#include "PqText.h"

#include <array>

namespace ostrel {
namespace {

struct OptionsFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

class PqDatabase final : public SqlDatabase {
public:
    Opened Open(const std::string& conninfo) override
    {
        // The string is checked first so that a malformed one is never
        // echoed back: libpq's complaint would quote it, password and all.
        char* parseError = nullptr;
        std::unique_ptr<PQconninfoOption, OptionsFree> parsed(PQconninfoParse(conninfo.c_str(), &parseError));
        if (!parsed) {
            PQfreemem(parseError);
            return {nullptr, "the connection string cannot be read"};
        }
        std::vector<std::string> secrets;
        for (const PQconninfoOption* option = parsed.get(); option->keyword; ++option) {
            if (option->val && std::string_view(option->keyword) == "password")
                secrets.emplace_back(option->val);
        }

        // Our defaults come first, so the connection string overrides them;
        // the encoding comes last, since every text we send is UTF-8.
        const std::array<const char*, 9> keywords{"connect_timeout",
                                                  "keepalives_idle",
                                                  "keepalives_interval",
                                                  "keepalives_count",
                                                  "fallback_application_name",
                                                  "dbname",
                                                  "client_encoding",
                                                  nullptr,
                                                  nullptr};
        const std::array<const char*, 9> values{"10",   "30",    "10",   "3", "ostrel", conninfo.c_str(),
                                                "UTF8", nullptr, nullptr};
        pq::ConnectionHandle connection(PQconnectdbParams(keywords.data(), values.data(), 1));
        if (!connection)
            return {nullptr, "out of memory"};
        if (const char* used = PQpass(connection.get()); used && *used)
            secrets.emplace_back(used);
        if (PQstatus(connection.get()) != CONNECTION_OK)
            return {nullptr, pq::Redacted(PQerrorMessage(connection.get()), secrets)};
        // The server's notices ("already exists, skipping") are not ours to print.
        PQsetNoticeProcessor(
            connection.get(), [](void*, const char*) {}, nullptr);
        return {std::make_unique<pq::PqConnection>(std::move(connection), std::move(secrets))};
    }
};

}  // namespace

std::unique_ptr<SqlDatabase> MakePqDatabase()
{
    return std::make_unique<PqDatabase>();
}

}  // namespace ostrel
