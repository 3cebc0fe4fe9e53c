#pragma once

#include "Process.h"
#include "TempFolder.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::test {

// A private PostgreSQL server: a cluster made by initdb in a temporary
// folder, listening only on a socket in that folder, stopped and removed
// with the object. Run as root (as CI does), the server runs as `nobody`,
// which then owns the folder; otherwise as the current user. The
// administrator role is "postgres", reached without a password; a database
// "ostrel" is made empty at the start.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // A libpq connection string for `user` on `database`.
    std::string Conninfo(const std::string& user = "postgres", const std::string& database = "ostrel") const;
    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // psql as `user` on `database`, unaligned and without headers, stopping
    // at the first error: the way an administrator would ask.
    ProcessResult Psql(const std::string& sql, const std::string& user = "postgres",
                       const std::string& database = "ostrel") const;
    // The rows of a query as `user` sees them, each value as text (NULL as
    // the empty text); a thrown error when it fails.
    std::vector<std::vector<std::string>> Rows(const std::string& sql, const std::string& user = "postgres",
                                               const std::string& database = "ostrel") const;
    // psql as the administrator; its output, or a thrown error.
    std::string Query(const std::string& sql, const std::string& database = "ostrel") const;

    void CreateDatabase(const std::string& name) const;
    // The project's schema, applied the way ostrel-setup applies it.
    void ApplySchema(const std::string& database = "ostrel") const;

    // Kills the server and every one of its processes with SIGKILL, as a
    // crash would; Start brings it back on the same socket, recovering.
    void Kill();
    void Start();
    bool Running() const { return pid_ > 0; }

private:
    void WaitUntilReady();
    void Stop();

    TempFolder folder_;
    std::filesystem::path data_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool dropPrivileges_ = false;
    pid_t pid_ = -1;
};

// The PostgreSQL programs' folder (initdb, postgres, psql).
std::filesystem::path PostgresPrograms();

}  // namespace ostrel::test
