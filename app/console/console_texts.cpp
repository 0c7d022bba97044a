#include "app/console/console_texts.h"

#include <array>

namespace nolpa::app::console {

namespace {

struct Entry {
  Text id;
  const char* japanese;
  const char* english;
};

// clang-format off
constexpr std::array<Entry, 66> kTexts = {{
  {Text::Usage,
   "使い方: NOLPAIDC コマンド [オプション]\n"
   "  list                          接続されたプリンターを検索順に一覧表示\n"
   "  check 識別コード             選んだプリンターの識別コードを比較\n"
   "  set 識別コード | --date      選んだプリンターに識別コードを書き込み、読み戻す\n"
   "  test-comm                     通信テスト\n"
   "  test-print                    テスト印字\n"
   "  station --codes ファイル | --first 識別コード\n"
   "                                接続されたプリンターに次の識別コードを順に書き込む (Ctrl+C で終了)\n"
   "  db init | pools | pool add 名前 --first 識別コード | --codes ファイル\n"
   "     | report [--pool 名前] [--since 日付]\n"
   "                                工場データベース: スキーマの作成・更新、プールの一覧と追加、割り当ての報告\n"
   "オプション:\n"
   "  --product 製品名 | --index N  プリンターの選択 (製品名は大文字小文字を区別しない; N は 0 から)\n"
   "  --name 識別名                 set, station: 識別名も書き込む (省略時は変更なし)\n"
   "  --date                        set: 日時による識別コードを書き込む\n"
   "  --allow-duplicate             set: 同じ USB ベンダー・製品の別プリンターと同じ識別コードも許す\n"
   "  --json | --csv                結果を JSON (list は CSV も) で出力\n"
   "  --log ファイル                書き込みごとに 1 行を監査ログに追記 (station では必須)\n"
   "  --codes ファイル              station: 1 行に 1 つの識別コードを順に使う\n"
   "  --first 識別コード            station: 最後の数字を数え上げる (LINE3-0099 の次は LINE3-0100)\n"
   "  --count N                     station: N 台で終了\n"
   "  --dry-run                     station: 書き込まず、各プリンターに書き込む識別コードを表示\n"
   "  --fleet ファイル              シミュレーター版: 状態ファイル\n"
   "  --db ソース                   db: 工場データベース: ODBC データソース名 (plant)、接続文字列\n"
   "                                (DSN=plant;Database=line3)、または接続文字列のファイル (@ファイル)。\n"
   "                                パスワードはコマンドラインに書かない (省略時: INI の [Plant] Database)\n"
   "  --help, --version\n"
   "終了コード: 0 一致, 1 プリンターなし, 2 再検索で見つからない, 3 不一致・拒否・失敗,\n"
   "  4 エラー・中断, 5 再起動後に有効, 6 重複, 7 コマンドラインの誤り, 8 工場データベースを使用できない,\n"
   "  -1 別のコピーが実行中\n",
   "Usage: NOLPAIDC COMMAND [OPTIONS]\n"
   "  list                          list the attached printers in Find's order\n"
   "  check CODE                    compare the chosen printer's ID code with CODE\n"
   "  set CODE | --date             write an ID code into the chosen printer and read it back\n"
   "  test-comm                     run the communication test on the chosen printer\n"
   "  test-print                    send the test line to the chosen printer\n"
   "  station --codes FILE | --first CODE\n"
   "                                write the next code into each printer plugged in,\n"
   "                                one after another, until Ctrl+C\n"
   "  db init | pools | pool add NAME --first CODE | --codes FILE\n"
   "     | report [--pool NAME] [--since DATE]\n"
   "                                the plant's database: make or upgrade its schema, list\n"
   "                                or add pools of codes, report every code handed out\n"
   "Options:\n"
   "  --product TEXT | --index N    choose the printer (whole product text, case ignored;\n"
   "                                N counts from 0); default: the first printer\n"
   "  --name NAME                   set, station: write this ID name too (default: unchanged)\n"
   "  --date                        set: write the date-based ID code\n"
   "  --allow-duplicate             set: allow a code another printer of the same USB\n"
   "                                vendor and product holds\n"
   "  --json | --csv                print the result as JSON (list: or CSV)\n"
   "  --log FILE                    append one line per write attempt to this audit log\n"
   "                                (the station needs one: it resumes from it)\n"
   "  --codes FILE                  station: the codes, one a line, taken in order\n"
   "  --first CODE                  station: counted up (LINE3-0099, then LINE3-0100)\n"
   "  --count N                     station: end after N printers\n"
   "  --dry-run                     station: list the code each attached printer would get\n"
   "  --fleet FILE                  simulator builds: the simulated printers' state file\n"
   "  --db SOURCE                   db: the plant's database: an ODBC data source name (plant),\n"
   "                                a connection string (DSN=plant;Database=line3) or @FILE\n"
   "                                holding one; never a password on the command line\n"
   "                                (default: Database in the INI file's [Plant] section)\n"
   "  --help, --version\n"
   "Exit codes: 0 matches, 1 no printer, 2 not listed again, 3 differs, refused or failed,\n"
   "  4 error or interrupted, 5 applied at the printer's next restart, 6 duplicate,\n"
   "  7 command line not understood, 8 the plant's database cannot be used,\n"
   "  -1 another copy is running\n"},
  {Text::SeeHelp, "コマンドの一覧は NOLPAIDC --help で表示されます。", "Run NOLPAIDC --help for the commands."},
  {Text::NoCommand, "コマンドがありません。", "No command given."},
  {Text::UnknownCommand, "不明なコマンドです: {1}", "Unknown command: {1}"},
  {Text::UnknownOption, "不明なオプションです: {1}", "Unknown option: {1}"},
  {Text::MissingValue, "{1} には値が必要です。", "{1} needs a value."},
  {Text::RepeatedOption, "{1} が二度指定されています。", "{1} is given twice."},
  {Text::BadIndex, "--index には 0 以上の数を指定してください: {1}", "--index needs a number from 0: {1}"},
  {Text::ExtraArgument, "余分な引数です: {1}", "Unexpected argument: {1}"},
  {Text::MissingCode, "識別コード (set では --date も可) を指定してください。",
   "Give the ID code (or, for set, --date)."},
  {Text::CodeAndDate, "識別コードと --date は同時に指定できません。", "Give the ID code or --date, not both."},
  {Text::NotForCommand, "{1} はこのコマンドでは使えません。", "{1} does not go with this command."},
  {Text::ProductAndIndex, "--product と --index は同時に指定できません。", "Give --product or --index, not both."},
  {Text::JsonAndCsv, "--json と --csv は同時に指定できません。", "Give --json or --csv, not both."},
  {Text::FleetNotHere, "--fleet はシミュレーター版でのみ使えます。", "--fleet is for the simulator builds only."},
  {Text::AnotherCopy, "NOLPAID または NOLPAIDC の別のコピーが実行中です。何も行いませんでした。",
   "Another copy of NOLPAID or NOLPAIDC is running. Nothing was done."},
  {Text::LogCannotOpen, "監査ログ {1} を開けません。何も行いませんでした。",
   "The audit log {1} cannot be opened. Nothing was done."},
  {Text::LogNotWritten, "監査ログ {1} に書き込めません。この書き込みは記録されていません。",
   "The audit log {1} could not be written: this write attempt is not recorded."},
  {Text::NoPrinter, "プリンターが見つかりません。", "No printer found."},
  {Text::NoPrinterOfProduct, "製品名 \"{1}\" のプリンターが見つかりません。", "No printer of product \"{1}\" found."},
  {Text::NoPrinterAtIndex, "番号 {1} のプリンターはありません (見つかったのは {2} 台)。",
   "No printer at index {1} ({2} found)."},
  {Text::Duplicate,
   "識別コード {1} は同じ USB ベンダー・製品のプリンター {2} ({3}) が既に使っています。"
   "書き込む場合は --allow-duplicate を指定してください。何も書き込みませんでした。",
   "ID code {1} is held already by printer {2} ({3}) of the same USB vendor and product. "
   "Nothing was written; --allow-duplicate writes it all the same."},
  {Text::NameNotUsed, "USB Printer Class のプリンターには識別名がありません。--name は使われません。",
   "USB Printer Class printers have no ID name: --name is not used."},
  {Text::SpoolerNotStopped, "印刷スプーラーを停止できませんでした (管理者として実行していますか)。",
   "The print spooler could not be stopped (is the program run as administrator?)."},
  {Text::Interrupted, "中断しました。印刷スプーラーを再開し、作業フォルダーを削除しました。",
   "Interrupted. The print spooler was started again and the work folder removed."},
  {Text::RunFailed, "エラーで終了しました: {1}", "The run ended with an error: {1}"},
  {Text::ProgressSpoolerStop, "印刷スプーラーを停止しています...", "Stopping the print spooler..."},
  {Text::ProgressSpoolerStart, "印刷スプーラーを開始しています...", "Starting the print spooler..."},
  {Text::ProgressFind, "プリンターを検索しています...", "Looking for printers..."},
  {Text::ProgressBusy, "プリンターと通信しています...", "Talking to the printer..."},
  {Text::ProgressRescan, "{1} 秒後にプリンターを再検索します ({2}/{3})...",
   "Looking for the printer again in {1} s ({2} of {3})..."},
  {Text::CheckMatches, "一致: {1} の識別コードは {2} です。", "Matches: {1} holds ID code {2}."},
  {Text::CheckDiffers, "不一致: {1} の識別コードは {2} で、{3} ではありません。",
   "Differs: {1} holds ID code {2}, not {3}."},
  {Text::SetWritten, "書き込みました: {1} の識別コードは {2} です。", "Written: {1} now holds ID code {2}."},
  {Text::SetPending,
   "書き込みました。{1} はプリンターの電源を入れ直すと識別コード {2} になります (現在は {3})。",
   "Written, pending: {1} takes ID code {2} at its next restart (it reports {3} until then)."},
  {Text::SetUnchanged, "変更なし: {1} は既にこの値です。何も書き込みませんでした。",
   "Unchanged: {1} holds these values already. Nothing was written."},
  {Text::SetRefused, "拒否されました: {1}", "Refused: {1}"},
  {Text::SetFailed, "失敗しました: {1}", "Failed: {1}"},
  {Text::SetDiffers, "読み戻した識別コードは {1} で、{2} ではありません。", "Read back ID code {1}, not {2}."},
  {Text::SetGone, "書き込み後、3 回の再検索で {1} が見つかりませんでした。",
   "{1} was not listed again in the three rescans after the write."},
  {Text::TestPrintNotForClass, "USB Printer Class のプリンターにはテスト印字できません。",
   "Test Print does not reach USB Printer Class printers."},
  {Text::TestPrintSent, "テスト印字を送りました: {1}", "Test line sent to {1}."},
  {Text::TestPrintFailed, "テスト印字を送れませんでした: {1}", "The test line could not be sent to {1}."},
  {Text::NoPrinters, "プリンターはありません。", "No printers."},
  {Text::ProductsFound, "見つかったプリンター: {1}", "Printers found: {1}"},
  {Text::EmptyLog, "--log にはファイル名が必要です (空の名前では監査ログが残りません)。",
   "--log needs a file name (an empty one would keep no audit log)."},
  {Text::MissingCodes, "station には --codes ファイル または --first 識別コード が必要です。",
   "station needs --codes FILE or --first CODE."},
  {Text::CodesAndFirst, "--codes と --first は同時に指定できません。", "Give --codes or --first, not both."},
  {Text::FirstWithoutDigits, "--first の識別コードには数える数字が必要です: {1}",
   "--first needs a code with digits to count up: {1}"},
  {Text::BadCount, "--count には 1 以上の数を指定してください: {1}", "--count needs a number from 1: {1}"},
  {Text::PendingNote, "プリンターの電源を入れ直すと有効になります", "switch the printer off and on to apply it"},
  {Text::NgReadBack, "読み戻した識別コードは {1}", "it reads back {1}"},
  {Text::NgAfterRestart, "電源の入れ直し後の識別コードは {1}", "it reports {1} after its restart"},
  {Text::StationNeedsLog,
   "ステーションは監査ログから続きを再開します: --log ファイル を指定するか、INI ファイルの [Audit] Log に"
   "記述してください。何も行いませんでした。",
   "The station resumes from its audit log: give --log FILE, or name one as Log in the INI file's "
   "[Audit] section. Nothing was done."},
  {Text::LogCannotRead, "監査ログ {1} を読めないため、続きから再開できません。何も行いませんでした。",
   "The audit log {1} cannot be read to resume from. Nothing was done."},
  {Text::LogLinesUnreadable,
   "監査ログ {2} の {1} 行は識別コードを読み取れません。識別コードを二度割り当てないよう、修正してください。"
   "何も行いませんでした。",
   "{1} line(s) of the audit log {2} name an ID code that cannot be read: mend them, so that no "
   "code is handed out twice. Nothing was done."},
  {Text::CodesCannotRead, "識別コードの一覧 {1} を読めません。何も行いませんでした。",
   "The code list {1} cannot be read. Nothing was done."},
  {Text::CodeRefused, "\"{1}\" は使えません: {2} 何も行いませんでした。",
   "\"{1}\" is refused: {2} Nothing was done."},
  {Text::NoCodeLeft, "割り当てられる識別コードが残っていません。",
   "No code is left to hand out: every code is used."},
  {Text::ProgressWaitPrinter, "プリンターの接続を待っています (次の識別コード {1})...",
   "Waiting for a printer (next code {1})..."},
  {Text::ProgressWaitUnplug, "{1} が取り外されるのを待っています...", "Waiting for {1} to be unplugged..."},
  {Text::ProgressWaitRestart, "{1} の電源が入れ直されるのを待っています...",
   "Waiting for {1} to be switched off and on..."},
  {Text::TwoAtOnce, "{1} 台のプリンターが同時に接続されています ({2})。どれにも書き込みません。1 台だけ接続してください。",
   "{1} printers are attached at once ({2}): none is written. Leave one attached."},
  {Text::LeftAlone, "{1} は既に割り当て済みの識別コード {2} を持っているため、書き込みません。",
   "{1} holds {2}, a code handed out before: it is left alone."},
  {Text::StationSummary, "プリンター {1} 台: OK {2} 台、NG {3} 台。", "{1} printer(s): {2} OK, {3} NG."},
  {Text::PendingBefore, "{1} には以前 {2} を書き込みました。電源を入れ直すと有効になります。",
   "{1} was written {2} before and takes it at its next restart: switch it off and on."},
}};
// clang-format on

// Say() finds a text at its enumerator's place.
constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < kTexts.size(); ++i)
    if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
  return kTexts.size() == static_cast<std::size_t>(Text::PendingBefore) + 1;
}
static_assert(InEnumOrder());

}  // namespace

std::string Say(Text text, bool japanese, const std::vector<std::string>& values) {
  const Entry& entry = kTexts[static_cast<std::size_t>(text)];
  return FillIn(japanese ? entry.japanese : entry.english, values);
}

std::string FillIn(std::string out, const std::vector<std::string>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string mark = "{" + std::to_string(i + 1) + "}";
    for (std::size_t at = out.find(mark); at != std::string::npos;
         at = out.find(mark, at + values[i].size()))
      out.replace(at, mark.size(), values[i]);
  }
  return out;
}

}  // namespace nolpa::app::console
