// The central store's schema and libpq layer against a real PostgreSQL.
#include "CentralSchema.h"
#include "PostgresServer.h"
#include "PqDatabase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

using test::PostgresServer;

class PqDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = new PostgresServer();
        server_->ApplySchema();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

    static std::unique_ptr<SqlConnection> Connect(const std::string& user = "postgres")
    {
        auto opened = MakePqDatabase()->Open(server_->Conninfo(user));
        EXPECT_TRUE(opened.connection) << opened.error;
        return std::move(opened.connection);
    }

    static PostgresServer* server_;
};

PostgresServer* PqDatabaseTest::server_ = nullptr;

TEST_F(PqDatabaseTest, SchemaIsAppliedOnceAndTheViewHasItsColumns)
{
    auto admin = Connect();
    const SchemaOutcome again = ApplyCentralSchema(*admin, std::filesystem::path(OSTREL_SOURCE_DIR) / "data/central");
    ASSERT_FALSE(again.error) << *again.error;
    EXPECT_TRUE(again.applied.empty());
    EXPECT_EQ(again.present, (std::vector<int>{1, 2}));

    // The view as an administrator sees it: its columns and their types.
    const std::string columns = server_->Query(
        "SELECT string_agg(column_name || ' ' || data_type, ',' ORDER BY ordinal_position) "
        "FROM information_schema.columns WHERE table_name = 'ostrel_jobs'");
    for (const char* column : {"server text", "printer text", "username text", "document text", "pages bigint",
                               "cost bigint", "submitted_at timestamp with time zone",
                               "recorded_at timestamp with time zone", "job_id bigint", "server_id uuid"})
        EXPECT_NE(columns.find(column), std::string::npos) << column << " in " << columns;
}

TEST_F(PqDatabaseTest, EachRoleMayDoWhatItIsForAndNothingElse)
{
    server_->Query(
        "INSERT INTO ostrel_servers (server_id, name) VALUES "
        "('00000000-0000-0000-0000-0000000000aa', 'roles') ON CONFLICT DO NOTHING");
    const std::string values =
        "('00000000-0000-0000-0000-0000000000aa', 1, 7, 'laser', 'maria', 'doc', 1, 2, "
        "now(), now(), '26', '01', '02', '03', '04')";
    const std::string insert =
        "INSERT INTO ostrel_job_records (server_id, record_sequence, job_id, printer, username, document, pages, "
        "cost, submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) VALUES " +
        values + " ON CONFLICT DO NOTHING";
    struct Case {
        const char* name;
        const char* role;
        std::string sql;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {"writer adds a job", "ostrel_writer", insert, true},
        {"writer adds jobs through a temporary table", "ostrel_writer",
         "CREATE TEMP TABLE incoming (server_id uuid, record_sequence bigint, job_id bigint, printer text, "
         "username text, document text, pages bigint, cost bigint, submitted_at timestamptz, recorded_at "
         "timestamptz, local_year text, local_month text, local_day text, local_hour text, local_minute text); "
         "INSERT INTO incoming VALUES " +
             values +
             "; INSERT INTO ostrel_job_records (server_id, record_sequence, job_id, printer, username, document, "
             "pages, cost, submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) "
             "SELECT * FROM incoming ON CONFLICT DO NOTHING",
         true},
        {"writer registers its server", "ostrel_writer",
         "INSERT INTO ostrel_servers (server_id, name) VALUES ('00000000-0000-0000-0000-0000000000bb', 'w') "
         "ON CONFLICT (server_id) DO UPDATE SET name = EXCLUDED.name, last_seen = now()",
         true},
        {"writer registers a printer", "ostrel_writer",
         "INSERT INTO ostrel_printers (server_id, name) VALUES ('00000000-0000-0000-0000-0000000000bb', 'p') "
         "ON CONFLICT DO NOTHING",
         true},
        {"writer asks for its last record number", "ostrel_writer",
         "SELECT ostrel_last_sequence('00000000-0000-0000-0000-0000000000aa')", true},
        {"reader asks for a last record number", "ostrel_reader",
         "SELECT ostrel_last_sequence('00000000-0000-0000-0000-0000000000aa')", false},
        {"writer reads the view", "ostrel_writer", "SELECT count(*) FROM ostrel_jobs", false},
        {"writer reads the jobs", "ostrel_writer", "SELECT document FROM ostrel_job_records", false},
        {"writer deletes jobs", "ostrel_writer", "DELETE FROM ostrel_job_records", false},
        {"writer changes jobs", "ostrel_writer", "UPDATE ostrel_job_records SET cost = 0", false},
        {"writer truncates jobs", "ostrel_writer", "TRUNCATE ostrel_job_records", false},
        {"writer drops the view", "ostrel_writer", "DROP VIEW ostrel_jobs", false},
        {"reader reads the view", "ostrel_reader", "SELECT count(*) FROM ostrel_jobs", true},
        {"reader adds a job", "ostrel_reader", insert, false},
        {"reader deletes jobs", "ostrel_reader", "DELETE FROM ostrel_job_records", false},
        {"reader renames a server", "ostrel_reader", "UPDATE ostrel_servers SET name = 'x'", false},
    };
    for (const Case& c : cases) {
        const test::ProcessResult result = server_->Psql(c.sql, c.role);
        EXPECT_EQ(result.exitCode == 0, c.allowed) << c.name << ": " << result.err;
        if (!c.allowed) {
            EXPECT_TRUE(result.err.find("permission denied") != std::string::npos ||
                        result.err.find("must be owner") != std::string::npos)
                << c.name << ": " << result.err;
        }
    }
    EXPECT_EQ(server_->Query("SELECT count(*) FROM ostrel_job_records WHERE server_id = "
                             "'00000000-0000-0000-0000-0000000000aa'"),
              "1\n");
}

TEST_F(PqDatabaseTest, HostileTextTravelsAsParametersAndCopyRows)
{
    const std::vector<std::string> texts = {
        "O'Brien's \"report\"",
        "back\\slash \\N \\\\",
        "'); DROP TABLE ostrel_job_records; --",
        "tab\there\nnew line\r",
        "\xc3\xa9t\xc3\xa9 \xef\xbf\xbd replaced",
        std::string(300, 'x') + "\xe2\x82\xac",
        "",
    };
    auto admin = Connect();
    ASSERT_TRUE(admin->Run("CREATE TEMP TABLE echo (n int, t text)").Ok());
    std::vector<SqlRow> rows;
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(admin->Run("INSERT INTO echo VALUES ($1, $2)", {std::to_string(i), texts[i]}).Ok());
        rows.push_back({std::to_string(i + 100), texts[i]});
    }
    rows.push_back({"999", std::nullopt});
    const SqlAnswer copied = admin->Copy("COPY echo (n, t) FROM STDIN", rows);
    ASSERT_TRUE(copied.Ok()) << *copied.error;
    EXPECT_EQ(copied.affected, rows.size());

    std::vector<SqlRow> back;
    const SqlAnswer streamed =
        admin->Stream("SELECT n % 100, t FROM echo WHERE n >= $1 ORDER BY n", {"0"}, [&](const SqlRow& row) {
            back.push_back(row);
            return true;
        });
    ASSERT_TRUE(streamed.Ok()) << *streamed.error;
    ASSERT_EQ(back.size(), 2 * texts.size() + 1);
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(back[i][1], texts[i]) << "parameter " << i;
        EXPECT_EQ(back[texts.size() + i][1], texts[i]) << "copy row " << i;
    }
    EXPECT_EQ(back.back()[1], std::nullopt);

    // A stream stopped early leaves the session ready for the next request.
    int seen = 0;
    ASSERT_TRUE(admin->Stream("SELECT t FROM echo", {}, [&](const SqlRow&) { return ++seen < 2; }).Ok());
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(admin->Run("SELECT count(*) FROM echo").rows.at(0).at(0), std::to_string(rows.size() + texts.size()));
}

TEST_F(PqDatabaseTest, FailuresSayWhyWithoutThePassword)
{
    struct Case {
        const char* name;
        std::string conninfo;
        const char* reason;  // part of the message
    };
    const std::string folder = server_->Folder().string();
    const std::vector<Case> cases = {
        {"no server there", "host=" + folder + "/nowhere port=5432 user=postgres password=Hunter2secret",
         "No such file"},
        {"unknown database", "host=" + folder + " port=5432 user=postgres dbname=missing password=Hunter2secret",
         "does not exist"},
        {"malformed string", "host=" + folder + " password='Hunter2secret", "cannot be read"},
    };
    for (const Case& c : cases) {
        const auto opened = MakePqDatabase()->Open(c.conninfo);
        EXPECT_FALSE(opened.connection) << c.name;
        EXPECT_NE(opened.error.find(c.reason), std::string::npos) << c.name << ": " << opened.error;
        EXPECT_EQ(opened.error.find("Hunter2secret"), std::string::npos) << c.name << ": " << opened.error;
    }

    // A session whose server died says so, and knows it is lost.
    auto session = Connect();
    server_->Kill();
    const SqlAnswer lost = session->Run("SELECT 1");
    server_->Start();
    EXPECT_FALSE(lost.Ok());
    EXPECT_FALSE(session->Usable());
    EXPECT_TRUE(Connect()->Run("SELECT 1").Ok());
}

}  // namespace
}  // namespace ostrel
