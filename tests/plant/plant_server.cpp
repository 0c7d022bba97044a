#include "tests/plant/plant_server.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/plant/child_process.h"

namespace nolpa::tests::plant {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool Script(const std::string& command, const std::string& dir) {
  const std::string line =
      "timeout 170 " + std::string(NOLPA_PLANT_SERVER_SCRIPT) + " " + command + " " + dir;
  return std::system(line.c_str()) == 0;
}

// A database name of the test's own: lower case letters, digits and "_".
std::string NameOfTest() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("t_") + info->test_suite_name() + "_" + info->name();
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? std::tolower(c) : '_';
  if (name.size() > 50)
    name = name.substr(0, 40) + std::to_string(std::hash<std::string>{}(name) % 1000000000);
  return name;
}

std::unique_ptr<platform::DatabaseConnection> Admin() {
  platform::DatabaseDiagnostic d;
  auto c = Odbc().Connect("DSN=plant", {}, &d);
  EXPECT_NE(c, nullptr) << d.sqlState << " " << d.message;
  return c;
}

}  // namespace

std::string ServerDir() { return NOLPA_PLANT_SERVER_DIR; }

platform::Databases& Odbc() {
  static platform::odbc::OdbcDatabases databases = [] {
    setenv("ODBCINI", (ServerDir() + "/odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", ServerDir().c_str(), 1);
    setenv("PGPASSFILE", (ServerDir() + "/pgpass").c_str(), 1);
    return platform::odbc::OdbcDatabases(&platform::odbc::LinkedOdbc);
  }();
  return databases;
}

void PlantServerTest::SetUp() {
  name_ = NameOfTest();
  auto admin = Admin();
  ASSERT_NE(admin, nullptr);
  admin->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", {});
  ASSERT_TRUE(admin->Execute("CREATE DATABASE " + name_, {})) << admin->Diagnostic().message;
}

void PlantServerTest::TearDown() {
  if (auto admin = Admin())
    admin->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", {});
}

std::unique_ptr<platform::DatabaseConnection> PlantServerTest::Connect() const {
  platform::DatabaseDiagnostic d;
  auto c = Odbc().Connect(Connection(), {}, &d);
  EXPECT_NE(c, nullptr) << d.sqlState << " " << d.message;
  return c;
}

void PlantServerTest::Sql(const std::string& sql) const {
  auto c = Connect();
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->Execute(sql, {})) << sql << ": " << c->Diagnostic().message;
}

std::string PlantServerTest::Value(const std::string& sql) const {
  auto c = Connect();
  std::string value;
  if (c == nullptr) return value;
  EXPECT_TRUE(c->Execute(sql, {},
                         [&](const platform::DatabaseRow& row) {
                           value = row.at(0).value_or("NULL");
                           return false;
                         }))
      << sql << ": " << c->Diagnostic().message;
  return value;
}

OwnServer::OwnServer() {
  char folder[] = "/tmp/nolpa-own-server-XXXXXX";
  dir_ = mkdtemp(folder);
  started_ = Script("start", dir_);
}

OwnServer::~OwnServer() { Script("stop", dir_); }

std::string OwnServer::Connection() const {
  return "Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + Slurp(dir_ + "/port") +
         ";Database=plant;Username=nolpa;Password=" + Slurp(dir_ + "/password") +
         ";SSLmode=disable;CommLog=0;Debug=0";
}

bool OwnServer::Pause() { return Script("pause", dir_); }
bool OwnServer::Resume() { return Script("resume", dir_); }

Ran Nolpaidc(const std::vector<std::string>& arguments, const std::string& program) {
  Odbc();  // the environment's ODBCINI and PGPASSFILE
  std::vector<std::string> argv{program.empty() ? std::string(NOLPA_NOLPAIDC) : program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const Finished f = RunProgram(argv, 120);
  return {f.exitCode, f.out, f.err};
}

}  // namespace nolpa::tests::plant
