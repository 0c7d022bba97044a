// The database adapter against the real server through unixODBC: texts of
// any length and script arrive intact both ways, NULLs and numbers stay
// what they are, a transaction undone leaves nothing, and every call ends
// within its bound, also against a server that never answers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/plant/plant_server.h"

namespace nolpa::tests::plant {
namespace {

using platform::DatabaseRow;
using platform::DatabaseValue;
using Clock = std::chrono::steady_clock;

class OdbcAdapterTest : public PlantServerTest {};

TEST_F(OdbcAdapterTest, ValuesArriveIntactAndTransactionsKeepOrUndoAll) {
  auto c = Connect();
  ASSERT_NE(c, nullptr);
  std::string longText;
  for (int i = 0; i < 700; ++i) longText += "ライン3-Ü🏭";  // multi-unit, past any one buffer
  DatabaseRow row;
  ASSERT_TRUE(c->Execute("SELECT ?, ?, ?, CAST(? AS BIGINT) * 2",
                         {DatabaseValue::Of(longText), DatabaseValue::Null(), DatabaseValue::Of(""),
                          DatabaseValue::Of(std::int64_t{4000000000})},
                         [&](const DatabaseRow& r) {
                           row = r;
                           return true;
                         }))
      << c->Diagnostic().message;
  ASSERT_EQ(row.size(), 4u);
  EXPECT_EQ(row[0], longText);
  EXPECT_EQ(row[1], std::nullopt);
  EXPECT_EQ(row[2], "");
  EXPECT_EQ(row[3], "8000000000");

  ASSERT_TRUE(c->Execute("CREATE TABLE t (v VARCHAR(10))", {}));
  ASSERT_TRUE(c->Begin());
  ASSERT_TRUE(c->Execute("INSERT INTO t VALUES ('a')", {}));
  ASSERT_TRUE(c->Rollback());
  ASSERT_TRUE(c->Begin());
  std::int64_t affected = -1;
  ASSERT_TRUE(c->Execute("INSERT INTO t VALUES ('b'), ('c')", {}, {}, &affected));
  EXPECT_EQ(affected, 2);
  ASSERT_TRUE(c->Commit());
  ASSERT_TRUE(c->Execute("UPDATE t SET v = 'x' WHERE v = 'none'", {}, {}, &affected));
  EXPECT_EQ(affected, 0);
  EXPECT_EQ(Value("SELECT string_agg(v, ',' ORDER BY v) FROM t"), "b,c");
  // A statement the server refuses says why, with its SQLSTATE.
  EXPECT_FALSE(c->Execute("SELECT * FROM no_such_table", {}));
  EXPECT_EQ(c->Diagnostic().sqlState, "42P01");
  EXPECT_NE(c->Diagnostic().message.find("no_such_table"), std::string::npos);
}

TEST_F(OdbcAdapterTest, EveryCallEndsWithinItsBound) {
  platform::DatabaseDiagnostic d;
  auto c = Odbc().Connect(Connection(), {5, 1}, &d);
  ASSERT_NE(c, nullptr) << d.message;
  auto start = Clock::now();
  EXPECT_FALSE(c->Execute("SELECT pg_sleep(30)", {}));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  // A server that takes the connection and never answers.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  socklen_t length = sizeof address;
  getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  start = Clock::now();
  EXPECT_EQ(Odbc().Connect("Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + port +
                               ";Database=plant;Username=nolpa;SSLmode=disable;CommLog=0",
                           {2, 2}, &d),
            nullptr);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(platform::ConnectionLost(d)) << d.sqlState << " " << d.message;
  close(silent);
}

}  // namespace
}  // namespace nolpa::tests::plant
