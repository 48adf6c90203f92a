// Test support: the vendor service's tests run on both store engines, SQLite and PostgreSQL (one
// private server for the whole test program, a fresh database per test).
#pragma once

#include "PostgresServer.h"

#include <gtest/gtest.h>

#include <QString>
#include <string>

enum class Engine { SQLite, PostgreSQL };

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

// The --db of a fresh store: empty for SQLite (the service's and publish-city's own files), a new
// database on the program's PostgreSQL server otherwise.
inline QString FreshStore(Engine engine) {
    if (engine == Engine::SQLite) return {};
    return PostgresServer::Instance().NewDatabase();
}

// Skips the test when PostgreSQL is asked for and its server programs are missing.
#define SKIP_WITHOUT_ENGINE(engine)                                                                   \
    if ((engine) == Engine::PostgreSQL && !PostgresServer::Instance().Available())                     \
    GTEST_SKIP() << "PostgreSQL: " << PostgresServer::Instance().Reason().toStdString()

#define INSTANTIATE_FOR_ENGINES(Suite)                                                                \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), EngineName)
