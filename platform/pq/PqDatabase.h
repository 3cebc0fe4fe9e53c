#pragma once

#include "SqlDatabase.h"

#include <memory>

namespace ostrel {

// Sessions with PostgreSQL through libpq. A connection string gets, unless
// it says otherwise, a connect timeout of 10 s and TCP keepalives, so that
// an unreachable server is noticed in bounded time; the client encoding is
// always UTF-8.
std::unique_ptr<SqlDatabase> MakePqDatabase();

}  // namespace ostrel
