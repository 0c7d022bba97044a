#pragma once
// What the plant tests share: the PostgreSQL server the ctest fixture
// started (scripts/pg-test-server.sh), a database of each test's own on it,
// reached through unixODBC as the program reaches it, and servers of a
// test's own that it stops and starts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/plant/plant_database.h"
#include "platform/database.h"
#include "platform/odbc/odbc_database.h"

namespace nolpa::tests::plant {

// The process's ODBC environment, set up for the fixture's server on first use.
platform::Databases& Odbc();
// The fixture server's folder (its env, odbc.ini, pgpass, port).
std::string ServerDir();

// A database of the test's own, made empty before it and dropped after it.
class PlantServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // "DSN=plant;Database=<the test's>".
  std::string Connection() const { return "DSN=plant;Database=" + name_; }
  std::unique_ptr<platform::DatabaseConnection> Connect() const;
  // Runs `sql` on the test's database; fails the test when it fails.
  void Sql(const std::string& sql) const;
  // The first column of the first row `sql` gives ("" when none).
  std::string Value(const std::string& sql) const;
  const std::string& DatabaseName() const { return name_; }

 private:
  std::string name_;
};

// A server of a test's own, which it may stop and start.
class OwnServer {
 public:
  OwnServer();
  ~OwnServer();
  bool Started() const { return started_; }
  // A connection string without a data source: the driver, the port, the
  // role and its password.
  std::string Connection() const;
  bool Pause();
  bool Resume();

 private:
  std::string dir_;
  bool started_ = false;
};

// Runs the native console companion with `arguments` (its exit code, out
// and err), the environment pointing at the fixture's server; `program` is
// another copy of it (one that reads an INI file of its own folder).
struct Ran {
  int exitCode;
  std::string out;
  std::string err;
};
Ran Nolpaidc(const std::vector<std::string>& arguments, const std::string& program = "");

}  // namespace nolpa::tests::plant
