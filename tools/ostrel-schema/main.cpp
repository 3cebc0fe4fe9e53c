// ostrel-schema FOLDER: brings the central database up to the schema files
// of FOLDER. The connection string comes on standard input, so that it
// shows in no process list; ostrel-setup --central runs this.
#include "CentralSchema.h"
#include "PqDatabase.h"

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: ostrel-schema SCHEMA_FOLDER < conninfo\n";
        return 2;
    }
    std::string conninfo;
    std::getline(std::cin, conninfo);
    if (conninfo.empty()) {
        std::cerr << "ostrel-schema: no connection string on standard input\n";
        return 2;
    }
    auto opened = ostrel::MakePqDatabase()->Open(conninfo);
    if (!opened.connection) {
        std::cerr << "ostrel-schema: cannot connect to the central database: " << opened.error << "\n";
        return 1;
    }
    const ostrel::SchemaOutcome outcome = ostrel::ApplyCentralSchema(*opened.connection, argv[1]);
    for (int version : outcome.applied)
        std::cout << "applied schema version " << version << "\n";
    if (outcome.error) {
        std::cerr << "ostrel-schema: " << *outcome.error << "\n";
        return 1;
    }
    if (outcome.applied.empty())
        std::cout << "the central database is up to date\n";
    return 0;
}
