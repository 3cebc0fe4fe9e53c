#include "CentralSchema.h"

#include "Files.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace ostrel {
namespace {

constexpr const char* kVersionsTable =
    "CREATE TABLE IF NOT EXISTS ostrel_schema_versions ("
    "version integer PRIMARY KEY, file text NOT NULL, applied_at timestamptz NOT NULL DEFAULT now())";

std::optional<int> VersionOf(const std::string& name)
{
    const size_t underscore = name.find('_');
    if (underscore == 0 || underscore == std::string::npos || name.size() < 4 ||
        name.compare(name.size() - 4, 4, ".sql") != 0)
        return std::nullopt;
    int version = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + underscore, version);
    if (error != std::errc() || end != name.data() + underscore || version <= 0)
        return std::nullopt;
    return version;
}

}  // namespace

std::vector<SchemaFile> CentralSchemaFiles(const std::filesystem::path& folder)
{
    std::vector<SchemaFile> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (const auto version = VersionOf(entry.path().filename().string()))
            files.push_back({*version, entry.path()});
    }
    std::sort(files.begin(), files.end(),
              [](const SchemaFile& a, const SchemaFile& b) { return a.version < b.version; });
    for (size_t i = 1; i < files.size(); ++i) {
        if (files[i].version == files[i - 1].version)
            return {};
    }
    return files;
}

SchemaOutcome ApplyCentralSchema(SqlConnection& connection, const std::filesystem::path& folder)
{
    SchemaOutcome outcome;
    const std::vector<SchemaFile> files = CentralSchemaFiles(folder);
    if (files.empty()) {
        outcome.error = "no schema files in " + folder.string();
        return outcome;
    }
    const auto failed = [&](const std::string& what, const SqlAnswer& answer) {
        connection.Run("ROLLBACK");
        outcome.error = what + ": " + answer.error.value_or("");
        return outcome;
    };

    if (SqlAnswer created = connection.Run(kVersionsTable); !created.Ok())
        return failed("cannot create ostrel_schema_versions", created);
    for (const SchemaFile& file : files) {
        if (SqlAnswer begun = connection.Run("BEGIN"); !begun.Ok())
            return failed("cannot begin", begun);
        // One set-up at a time: a second waits here and then finds the file applied.
        if (SqlAnswer locked = connection.Run("LOCK TABLE ostrel_schema_versions IN EXCLUSIVE MODE"); !locked.Ok())
            return failed("cannot lock ostrel_schema_versions", locked);
        SqlAnswer present = connection.Run("SELECT version FROM ostrel_schema_versions ORDER BY version");
        if (!present.Ok())
            return failed("cannot read ostrel_schema_versions", present);
        std::set<int> versions;
        for (const SqlRow& row : present.rows)
            versions.insert(std::stoi(row.at(0).value_or("0")));
        if (&file == &files.front())
            outcome.present.assign(versions.begin(), versions.end());
        if (versions.count(file.version)) {
            connection.Run("COMMIT");
            continue;
        }
        const std::optional<std::string> sql = ReadFileBytes(file.path);
        if (!sql) {
            connection.Run("ROLLBACK");
            outcome.error = "cannot read " + file.path.string();
            return outcome;
        }
        if (SqlAnswer ran = connection.RunScript(*sql); !ran.Ok())
            return failed(file.path.filename().string(), ran);
        SqlAnswer noted = connection.Run("INSERT INTO ostrel_schema_versions (version, file) VALUES ($1, $2)",
                                         {std::to_string(file.version), file.path.filename().string()});
        if (!noted.Ok())
            return failed("cannot record " + file.path.filename().string(), noted);
        if (SqlAnswer committed = connection.Run("COMMIT"); !committed.Ok())
            return failed("cannot commit " + file.path.filename().string(), committed);
        outcome.applied.push_back(file.version);
    }
    return outcome;
}

}  // namespace ostrel
