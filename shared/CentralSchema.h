#pragma once

#include "SqlDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One versioned file of the central store's schema: "0001_jobs.sql" is
// version 1. Files are applied in the order of their versions.
struct SchemaFile {
    int version = 0;
    std::filesystem::path path;
};

// The schema files in `folder` ("<digits>_<name>.sql"), by version; other
// files are ignored. Two files with one version are an error (empty list).
std::vector<SchemaFile> CentralSchemaFiles(const std::filesystem::path& folder);

struct SchemaOutcome {
    std::optional<std::string> error = {};  // what failed; nothing applied by its file stays
    std::vector<int> applied = {};          // the versions applied now
    std::vector<int> present = {};          // the versions the database had before
};

// Brings the database up to the files of `folder`: each file not yet in
// ostrel_schema_versions is applied in its own transaction together with
// its row there. Running it again applies nothing; concurrent runs wait
// for each other. The connection's role must be allowed to create tables
// and roles.
SchemaOutcome ApplyCentralSchema(SqlConnection& connection, const std::filesystem::path& folder);

}  // namespace ostrel
