// NOLPAIDC's db commands as a line script runs them, against the real
// server: what they print, their exit codes, and that bad input touches
// nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/console/station_codes.h"
#include "app/plant/sql_plant_record.h"
#include "tests/plant/plant_server.h"

namespace nolpa::tests::plant {
namespace {

using namespace app::plant;

class PlantCommandsTest : public PlantServerTest {
 protected:
  Ran Db(std::vector<std::string> words) {
    words.insert(words.begin(), "db");
    return Nolpaidc(words);
  }
  // Everything the program keeps, as one text: a change anywhere shows.
  std::string Snapshot() {
    return Value(
        "SELECT (SELECT COUNT(*) FROM information_schema.columns WHERE table_schema = "
        "'public') || '/' || (SELECT MAX(version) FROM nolpa_schema)"
        " || '/' || (SELECT COUNT(*) FROM nolpa_pools) || '/' || "
        "(SELECT SUM(handed_out) FROM nolpa_pools) || '/' || (SELECT COUNT(*) FROM "
        "nolpa_codes)");
  }
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = "/tmp/" + DatabaseName() + "-" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
};

TEST_F(PlantCommandsTest, InitTwiceChangesNothingAndTheReportTellsEveryCode) {
  const Ran first = Db({"init", "--db", Connection()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("schema version 1 (it was 0)"), std::string::npos) << first.out;
  ASSERT_EQ(Db({"pool", "add", "line3", "--first", "LINE3-0100", "--db", Connection()}).exitCode,
            0);
  const std::string list = File("codes", "\xEF\xBB\xBFLINE3-0100\r\nCAFÉ-1\r\n\r\nLINE3-0102\n");
  const Ran added = Db({"pool", "add", "spare", "--codes", list, "--db", Connection()});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_NE(added.out.find("3 code(s)"), std::string::npos) << added.out;
  const std::string before = Snapshot();
  const Ran again = Db({"init", "--db", Connection()});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.out.find("nothing changed"), std::string::npos) << again.out;
  EXPECT_EQ(Snapshot(), before);

  PlantDatabase database(Odbc(), Connection());
  SqlPlantRecord record(database, &app::console::NextCountedCode);
  Reservation r;
  ASSERT_EQ(record.Reserve("line3", "=cmd|' /C calc'!A0", {"dev,1", "VX \"410\"", "", "OLD"},
                           "2027-03-01T09:00:00.000Z", &r),
            PlantStatus::Ok);
  ASSERT_EQ(
      record.RecordOutcome(r.id, Outcome::Ng, "it reads back OLD", "2027-03-01T09:00:07.000Z"),
      PlantStatus::Ok);
  ASSERT_EQ(
      record.Reserve("spare", "ライン３", {"d2", "p", "", ""}, "2027-03-02T09:00:00.000Z", &r),
      PlantStatus::Ok);
  EXPECT_EQ(r.code, "CAFÉ-1");  // LINE3-0100 went to line3's counter
  ASSERT_EQ(record.Reserve("line3", "s3", {"d3", "p", "", ""}, "2027-03-03T09:00:00.000Z", &r),
            PlantStatus::Ok);

  const Ran pools = Db({"pools", "--db", Connection()});
  EXPECT_EQ(pools.exitCode, 0);
  EXPECT_NE(
      pools.out.find("line3  counter  LINE3-0102  9898  2\nspare  list     LINE3-0102  1     1\n"),
      std::string::npos)
      << pools.out;
  const Ran csv = Db({"report", "--csv", "--db", Connection()});
  EXPECT_EQ(csv.exitCode, 0) << csv.err;
  EXPECT_EQ(csv.out,
            "record,code,pool,station,product,device,location,previousCode,reservedAt,outcome,"
            "reason,outcomeAt\n"
            "1,LINE3-0100,line3,'=cmd|' /C calc'!A0,\"VX \"\"410\"\"\",\"dev,1\",,OLD,"
            "2027-03-01T09:00:00.000Z,ng,it reads back OLD,2027-03-01T09:00:07.000Z\n"
            "2,CAFÉ-1,spare,ライン３,p,d2,,,2027-03-02T09:00:00.000Z,reserved,,\n"
            "3,LINE3-0101,line3,s3,p,d3,,,2027-03-03T09:00:00.000Z,reserved,,\n");
  const Ran json =
      Db({"report", "--json", "--pool", "spare", "--since", "2027-03-02", "--db", Connection()});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out,
            "[{\"record\":2,\"code\":\"CAFÉ-1\",\"pool\":\"spare\",\"station\":\"ライン３\","
            "\"product\":\"p\",\"device\":\"d2\",\"location\":null,\"previousCode\":\"\","
            "\"reservedAt\":\"2027-03-02T09:00:00.000Z\",\"outcome\":\"reserved\",\"reason\":null,"
            "\"outcomeAt\":null}\n]\n");
}

TEST_F(PlantCommandsTest, BadInputSaysWhyWithItsExitCodeAndTouchesNothing) {
  ASSERT_EQ(Db({"init", "--db", Connection()}).exitCode, 0);
  ASSERT_EQ(Db({"pool", "add", "line3", "--first", "L-1", "--db", Connection()}).exitCode, 0);
  const std::string wrongPassword =
      File("wrong.odbc", "# a password, where one belongs\nDSN=plant\nDatabase=" + DatabaseName() +
                             "\nPwd=not-the-password\n");
  struct Case {
    std::vector<std::string> words;
    int exitCode;
    const char* says;
  };
  const std::string db = Connection();
  const Case cases[] = {
      {{"pools", "--db", "DSN=no-such-source"},
       8,
       "There is no ODBC data source DSN=no-such-source"},
      {{"pools", "--db", "@" + wrongPassword}, 8, "password authentication failed"},
      {{"pools", "--db", "plant-refused"}, 8, "rejects connection"},
      {{"pools", "--db", "plant-nowhere"}, 8, "cannot be reached or refused the connection"},
      {{"pools", "--db", "DSN=plant;Database=postgres"}, 8, "run NOLPAIDC db init"},
      {{"pools", "--db", db + ";PWD=secret"}, 7, "does not go on the command line"},
      {{"pools", "--db", "@/nonexistent/plant.odbc"}, 7, "cannot be read"},
      {{"pools", "--db", " "}, 7, "--db needs"},
      {{"pools"}, 7, "Name the plant's database"},
      {{"report", "--pool", "nosuch", "--db", db},
       7,
       "There is no pool named nosuch (pools: line3)"},
      {{"report", "--since", "last week", "--db", db}, 7, "--since needs a UTC date"},
      {{"pool", "add", "line3", "--first", "M-1", "--db", db}, 7, "exists already"},
      {{"pool", "add", "wide", "--first", "ＬＩＮＥ-1", "--db", db}, 7, "is refused"},
      {{"pool", "add", "x", "--codes", "/nonexistent/codes.txt", "--db", db}, 4, "cannot be read"},
      {{"pool", "add", "x", "--db", db}, 7, "--first CODE or --codes FILE"},
      {{"pool", "add", "--first", "A-1", "--db", db}, 7, "needs the pool's name"},
      {{"pool", "remove", "x", "--db", db}, 7, "db takes init"},
      {{"init", "--csv", "--db", db}, 7, "does not go with this command"},
      {{"pools", "--log", "/tmp/x.log", "--db", db}, 7, "--log does not go with this command"},
  };
  const std::string before = Snapshot();
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& w : c.words) line += w + " ";
    SCOPED_TRACE(line);
    const Ran ran = Db(c.words);
    EXPECT_EQ(ran.exitCode, c.exitCode) << ran.err;
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
    EXPECT_EQ(ran.out, "");
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(PlantCommandsTest, TheIniFileNamesTheDatabaseUnlessDbIsGiven) {
  ASSERT_EQ(Db({"init", "--db", Connection()}).exitCode, 0);
  ASSERT_EQ(Db({"pool", "add", "line3", "--first", "L-1", "--db", Connection()}).exitCode, 0);
  // The INI file is read beside the program, so a copy of the program in a
  // folder of this test's own reads it: tests that run at the same time and
  // expect no INI file see none.
  namespace fs = std::filesystem;
  const fs::path folder = fs::path("/tmp") / (DatabaseName() + "-program");
  fs::create_directories(folder);
  const fs::path program = folder / "nolpaidc";
  fs::copy_file(NOLPA_NOLPAIDC, program, fs::copy_options::overwrite_existing);
  const auto write = [&](const std::string& source) {
    std::ofstream(folder / "NOLPAID.ini", std::ios::binary)
        << "[Plant]\r\nDatabase=" << source << "\r\n";
  };
  const auto db = [&](std::vector<std::string> words) {
    words.insert(words.begin(), "db");
    return Nolpaidc(words, program.string());
  };
  write(Connection());
  const Ran fromIni = db({"pools"});
  EXPECT_EQ(fromIni.exitCode, 0) << fromIni.err;
  EXPECT_NE(fromIni.out.find("line3"), std::string::npos) << fromIni.out;
  EXPECT_EQ(db({"pools", "--db", "plant-nowhere"}).exitCode, 8);  // --db comes first
  write(Connection() + ";Password=secret");
  const Ran password = db({"pools"});
  EXPECT_EQ(password.exitCode, 7);
  EXPECT_NE(password.err.find("does not go in the INI file"), std::string::npos) << password.err;
  fs::remove_all(folder);
}

TEST_F(PlantCommandsTest, ASchemaNewerThanTheProgramIsLeftAlone) {
  ASSERT_EQ(Db({"init", "--db", Connection()}).exitCode, 0);
  Sql("UPDATE nolpa_schema SET version = 99");
  const std::string before = Snapshot();
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"init"}, {"pools"}, {"pool", "add", "p", "--first", "A-1"}}) {
    std::vector<std::string> all = words;
    all.insert(all.end(), {"--db", Connection()});
    const Ran ran = Db(all);
    EXPECT_EQ(ran.exitCode, 8) << words[0];
    EXPECT_NE(ran.err.find("schema version 99, newer than this program knows (1)"),
              std::string::npos)
        << ran.err;
  }
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace nolpa::tests::plant
