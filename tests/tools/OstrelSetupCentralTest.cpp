// ostrel-setup --central from an installed tree: the schema files found
// relative to the installed program, applied once, again without effect.

#include "PostgresServer.h"
#include "Process.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

TEST(OstrelSetupCentral, AppliesTheInstalledSchemaOnceFromAnyPrefixAndRefusesAPassword)
{
    TempFolder prefix;
    const ProcessResult installed =
        RunProgram(OSTREL_CMAKE, {"--install", OSTREL_BUILD_DIR, "--prefix", (prefix / "some/where").string()});
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    const std::filesystem::path setup = prefix / "some/where/sbin/ostrel-setup";
    PostgresServer postgres;

    const ProcessResult first = RunProgram(setup, {"--central", postgres.Conninfo()});
    ASSERT_EQ(first.exitCode, 0) << first.err << first.out;
    EXPECT_EQ(first.out, "applied schema version 1\napplied schema version 2\n");
    const ProcessResult again = RunProgram(setup, {"--central", postgres.Conninfo()});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "the central database is up to date\n");
    EXPECT_EQ(postgres.Query("SELECT string_agg(file, ' ' ORDER BY version) FROM ostrel_schema_versions"),
              "0001_jobs.sql 0002_last_sequence.sql\n");
    EXPECT_EQ(postgres.Query("SELECT count(*) FROM pg_authid WHERE rolname IN ('ostrel_writer', 'ostrel_reader') "
                             "AND rolpassword IS NULL"),
              "2\n");

    const ProcessResult withPassword = RunProgram(setup, {"--central", postgres.Conninfo() + " password=Hunter2"});
    EXPECT_EQ(withPassword.exitCode, 2);
    EXPECT_NE(withPassword.err.find("~/.pgpass"), std::string::npos) << withPassword.err;
    const ProcessResult unreachable =
        RunProgram(setup, {"--central", "host=" + (prefix / "nowhere").string() + " dbname=ostrel"});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.err.find("cannot connect to the central database"), std::string::npos) << unreachable.err;
}

}  // namespace
}  // namespace ostrel::test
