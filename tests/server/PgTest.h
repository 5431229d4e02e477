#pragma once
// The server tests' way to the shared throwaway server: skipped only when the
// developer asks, failed with the reason when the server cannot start.
#include "support/PgServer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kestrum::test {

class PgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (TPgServer::Skipped())
            GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
        try {
            Server = &TPgServer::Shared();
            Database = Server->CreateDatabase();
        } catch (const std::exception &e) {
            FAIL() << e.what();
        }
    }

    TPgServer *Server = nullptr;
    std::string Database;
};

} // namespace kestrum::test
