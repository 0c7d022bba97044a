#include "resources/messages.h"

#include <array>

namespace nolpa::resources {

namespace {
using platform::MessageIcon;
constexpr auto ERR = MessageIcon::Error;
constexpr auto INF = MessageIcon::Information;

// clang-format off
constexpr std::array<MessageText, 16> kMessages = {{
  {MessageId::CannotCommunicate, ERR,
   "デバイスと通信できません。",
   "Can not communicate with the device."},
  {MessageId::IdCodeLength18, ERR,
   "識別コード(USB Serial No.)は、18文字固定にしてください。",
   "The length of ID code(USB Serial No.) is 18 characters."},
  {MessageId::IdCodeInvalidHex, ERR,
   "識別コード(USB Serial No.)に無効な文字が含まれています。",
   "Invalid character in ID code(USB Serial No.)."},
  {MessageId::IdCodeUnchanged, INF,
   "識別コード(USB Serial No.)が現在の値から変更されていません。",
   "Nothing is changed from current ID code(USB Serial No.) setting."},
  {MessageId::IdCodeInvalid, ERR,
   "識別コードに無効な文字が含まれています。",
   "Invalid character in ID code."},
  {MessageId::IdNameInvalid, ERR,
   "識別名に無効な文字が含まれています。",
   "Invalid character in ID name."},
  {MessageId::IdUnchanged, INF,
   "識別コード、識別名が現在の値から変更されていません。",
   "Nothing is changed from current setting."},
  {MessageId::LibraryWriteSucceeded, INF,
   "識別コード(USB Serial No.)の書き込みが成功しました。\r\n"
   "識別コード(USB Serial No.)の設定はプリンターの電源を入れ直すことで有効になります。\r\n"
   "プリンターの電源を一度OFFにし、使用したいコンピューターに接続してから電源をONにしてください。",
   "The writing in of the ID code(USB Serial No.) succeeded.\r\n"
   "USB serial number setting is enabled after rebooting the printer.\r\n"
   "Turn off the printer, and connect it to the computer you want to use, and then turn on the printer."},
  {MessageId::LibraryWriteFailed, ERR,
   "識別コード(USB Serial No.)の書き込みに失敗しました。",
   "The writing in of the ID code(USB Serial No.) failed."},
  {MessageId::WriteSucceeded, INF,
   "IDの書き込みが成功しました。",
   "The writing in of the ID succeeded."},
  {MessageId::WriteFailed, ERR,
   "IDの書き込みに失敗しました。",
   "The writing in of the ID failed."},
  {MessageId::CommTestSucceeded, INF,
   "通信テストに成功しました。",
   "The communication test succeeded."},
  {MessageId::AuditLogUnavailable, ERR,
   "監査ログを開けません。書き込みは行いませんでした。",
   "The audit log cannot be opened. Nothing was written."},
  {MessageId::AuditLogNotWritten, ERR,
   "書き込みを監査ログに記録できませんでした。",
   "The write could not be recorded in the audit log."},
  {MessageId::IdCodeTooLong, ERR,
   "識別コードは80文字以内にしてください。",
   "The ID code is longer than 80 characters."},
  {MessageId::IdNameTooLong, ERR,
   "識別名は80文字以内にしてください。",
   "The ID name is longer than 80 characters."},
}};
// clang-format on

// Message() finds a text at its identifier's place.
constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < kMessages.size(); ++i)
    if (static_cast<std::size_t>(kMessages[i].id) != i) return false;
  return kMessages.size() == static_cast<std::size_t>(MessageId::IdNameTooLong) + 1;
}
static_assert(InIdOrder());
}  // namespace

const MessageText& Message(MessageId id) { return kMessages[static_cast<int>(id)]; }

const char* MessageCaption(platform::MessageIcon icon, bool japanese) {
  if (icon == ERR) return japanese ? "エラー" : "Error";
  return japanese ? "情報" : "Information";
}

}  // namespace nolpa::resources
