#include "serial_library/serial_number.h"

#include <cstring>
#include <memory>
#include <new>

#include "serial_library/exchange.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/printer_commands.h"

namespace nolpa::morvalib {

int HandOutText(const std::string& text, char* buffer, int bufferSize, int* length) {
  const int needed = static_cast<int>(text.size()) + 1;
  *length = needed;
  if (buffer == nullptr || bufferSize < needed) return MORVALIB_E_BUFFER;
  std::memcpy(buffer, text.c_str(), static_cast<std::size_t>(needed));
  return MORVALIB_OK;
}

int ReadSerialNumber(const PortOpener& open, const char* devicePath, char* buffer, int bufferSize,
                     int* length, int model) {
  if (devicePath == nullptr || length == nullptr) return MORVALIB_E_ARGUMENT;
  const auto command = SerialReadCommand(model);
  std::unique_ptr<WorkBuffer> reply;
  int replyLength = 0;
  int result = MORVALIB_E_BUFFER;
  // A reply longer than the buffer is asked for again with a larger one, up
  // to the ceiling: a printer that keeps answering at length is not sending
  // a serial number.
  for (std::size_t size = kReplyBufferStep; result == MORVALIB_E_BUFFER; size += kReplyBufferStep) {
    if (size > kMaxSerialReplyBuffer) return MORVALIB_E_REPLY_FORM;
    try {
      reply.reset();
      reply = std::make_unique<WorkBuffer>(size);
    } catch (const std::bad_alloc&) {
      return MORVALIB_E_MEMORY;
    }
    result = ExchangeControl(open, devicePath, command.data(), static_cast<int>(command.size()),
                             reply->data(), reply->size(), &replyLength);
  }
  if (result != MORVALIB_OK) return result;
  const auto text = DecodeSerialReply(reply->first(replyLength));
  if (!text) return MORVALIB_E_REPLY_FORM;
  return HandOutText(*text, buffer, bufferSize, length);
}

int WriteSerialNumber(const PortOpener& open, const char* devicePath, const char* serialNumber,
                      int model) {
  // A text shorter than a serial number is refused before anything is sent:
  // the command takes 18 bytes from it, and must not read past its end.
  if (devicePath == nullptr || serialNumber == nullptr ||
      std::memchr(serialNumber, '\0', kSerialNumberLength) != nullptr)
    return MORVALIB_E_ARGUMENT;
  const auto command = SerialWriteCommand(model, serialNumber);
  WorkBuffer reply(kReplyBufferStep);
  int replyLength = 0;
  const int result =
      ExchangeControl(open, devicePath, command.data(), static_cast<int>(command.size()),
                      reply.data(), reply.size(), &replyLength);
  if (result != MORVALIB_OK) return result;
  return IsWriteAcknowledged(reply.first(replyLength)) ? MORVALIB_OK : MORVALIB_E_NOT_ACKED;
}

}  // namespace nolpa::morvalib
