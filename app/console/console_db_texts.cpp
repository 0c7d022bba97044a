#include "app/console/console_db_texts.h"

#include <array>

#include "app/console/console_texts.h"

namespace nolpa::app::console {

namespace {

struct Entry {
  DbText id;
  const char* japanese;
  const char* english;
};

// clang-format off
constexpr std::array<Entry, 29> kTexts = {{
  {DbText::NeedsSource,
   "工場データベースを指定してください: --db ソース、または INI ファイルの [Plant] Database。何も行いませんでした。",
   "Name the plant's database: --db SOURCE, or Database in the INI file's [Plant] section. Nothing was done."},
  {DbText::BadSource, "--db にはデータソース名、接続文字列、または @ファイル を指定してください: {1}",
   "--db needs a data source name, a connection string or @FILE: {1}"},
  {DbText::PasswordGiven,
   "{1}にパスワード (PWD, PASSWORD) を書くことはできません。ODBC データソース、接続ファイル (--db @ファイル)、"
   "またはドライバーのパスワードファイル (PostgreSQL では pgpass.conf) に記述してください。何も行いませんでした。",
   "A password (PWD, PASSWORD) does not go {1}, where others can read it: keep it in the ODBC data "
   "source, in a connection file (--db @FILE) or in the driver's password file (PostgreSQL: "
   "pgpass.conf). Nothing was done."},
  {DbText::PlaceCommandLine, "コマンドライン", "on the command line"},
  {DbText::PlaceIni, "INI ファイル", "in the INI file"},
  {DbText::SourceFileUnreadable, "接続ファイル {1} を読めません。何も行いませんでした。",
   "The connection file {1} cannot be read. Nothing was done."},
  {DbText::SourceFileEmpty, "接続ファイル {1} に接続文字列がありません。何も行いませんでした。",
   "The connection file {1} holds no connection string. Nothing was done."},
  {DbText::UnknownDataSource,
   "ODBC データソース {1} がありません。32 ビットの ODBC データソース アドミニストレーター "
   "(64 ビット Windows では SysWOW64\\odbcad32.exe) で作成してください ({2})。何も行いませんでした。",
   "There is no ODBC data source {1}: make it in the 32-bit ODBC Data Source Administrator "
   "(SysWOW64\\odbcad32.exe on 64-bit Windows) ({2}). Nothing was done."},
  {DbText::CannotConnect,
   "工場データベース {1} に接続できないか、接続を拒否されました: {2} 何も行いませんでした。",
   "The plant's database {1} cannot be reached or refused the connection: {2} Nothing was done."},
  {DbText::NotSet,
   "工場データベース {1} はこのプログラム用に準備されていません (スキーマ {2}、必要なのは {3})。"
   "NOLPAIDC db init を実行してください。何も行いませんでした。",
   "The plant's database {1} is not set up for this program (schema version {2}, it needs {3}): "
   "run NOLPAIDC db init. Nothing was done."},
  {DbText::TooNew,
   "工場データベース {1} のスキーマ {2} はこのプログラムが知るもの ({3}) より新しいため、使用しません。"
   "新しい NOLPAIDC を使用してください。何も変更していません。",
   "The plant's database {1} has schema version {2}, newer than this program knows ({3}): use a "
   "newer NOLPAIDC. Nothing was touched."},
  {DbText::Refused, "工場データベースが要求を拒否しました: {1}", "The plant's database refused the request: {1}"},
  {DbText::InitDone, "工場データベースを準備しました: スキーマ {2} (以前は {1})。",
   "The plant's database is set up: schema version {2} (it was {1})."},
  {DbText::InitUnchanged, "工場データベースは最新です (スキーマ {1})。何も変更していません。",
   "The plant's database is up to date (schema version {1}): nothing changed."},
  {DbText::WhatCommand, "db の後に init、pool add 名前、pools、report のいずれかを指定してください: {1}",
   "db takes init, pool add NAME, pools or report: {1}"},
  {DbText::PoolNeedsName, "db pool add にはプールの名前が必要です。", "db pool add needs the pool's name."},
  {DbText::PoolNeedsCodes, "db pool add には --first 識別コード または --codes ファイル のどちらか一方が必要です。",
   "db pool add needs --first CODE or --codes FILE, one of them."},
  {DbText::PoolExists, "プール {1} は既にあります。何も変更していません。",
   "A pool named {1} exists already. Nothing was changed."},
  {DbText::PoolAddedCounter, "プール {1} を追加しました: {2} から数え上げます。",
   "Pool {1} added: counting up from {2}."},
  {DbText::PoolAddedList, "プール {1} を追加しました: {3} の識別コード {2} 個。",
   "Pool {1} added: {2} code(s) from {3}."},
  {DbText::NoSuchPool, "プール {1} はありません (あるプール: {2})。何も行いませんでした。",
   "There is no pool named {1} (pools: {2}). Nothing was done."},
  {DbText::CodesEmpty, "識別コードの一覧 {1} に識別コードがありません。何も行いませんでした。",
   "The code list {1} holds no code. Nothing was done."},
  {DbText::BadSince,
   "--since には UTC の日付または日時を指定してください (2027-03-01, 2027-03-01T09:05 など): {1}",
   "--since needs a UTC date or time such as 2027-03-01 or 2027-03-01T09:05: {1}"},
  {DbText::NoPools, "プールはありません。", "No pools."},
  {DbText::NothingHandedOut, "割り当てられた識別コードはありません。", "No code handed out."},
  {DbText::PoolHeads, "プール\t種類\t次の識別コード\t残り\t割り当て済み",
   "Pool\tKind\tNext code\tLeft\tHanded out"},
  {DbText::ReportHeads, "番号\t識別コード\tプール\tステーション\t製品名\t予約日時\t結果\t理由\t結果日時",
   "Record\tCode\tPool\tStation\tProduct\tReserved\tOutcome\tReason\tOutcome at"},
  {DbText::Counter, "カウンター", "counter"},
  {DbText::List, "一覧", "list"},
}};
// clang-format on

constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < kTexts.size(); ++i)
    if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
  return kTexts.size() == static_cast<std::size_t>(DbText::List) + 1;
}
static_assert(InEnumOrder());

}  // namespace

std::string SayDb(DbText text, bool japanese, const std::vector<std::string>& values) {
  const Entry& entry = kTexts[static_cast<std::size_t>(text)];
  return FillIn(japanese ? entry.japanese : entry.english, values);
}

}  // namespace nolpa::app::console
