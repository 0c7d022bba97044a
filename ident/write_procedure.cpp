#include "ident/write_procedure.h"

#include "ident/board_sequence.h"
#include "ident/command_sequence.h"
#include "ident/id_rules.h"
#include "platform/scoped.h"
#include "printerio/byte_channel.h"

namespace nolpa::ident {

namespace {

using resources::MessageId;

WriteOutcome WriteByLibrary(platform::ScopedDevice& device, const WriteRequest& request,
                            const SetSerialNumberFn& setSerialNumber) {
  int result = -1;
  if (setSerialNumber) {
    result = setSerialNumber(request.record.devicePath.c_str(), request.idCode.c_str(),
                             ModelSelector(request.record.productText));
  }
  device.Close();
  return {result == 0 ? MessageId::LibraryWriteSucceeded : MessageId::LibraryWriteFailed, true};
}

WriteOutcome WriteByDriver(const platform::Platform& platform, platform::ScopedDevice& device,
                           const WriteRequest& request, platform::DeviceHandle& boardHandle) {
  bool written;
  if (discovery::Contains(request.record.infoLine2, discovery::kBoardMarker)) {
    boardHandle = device.Get();
    written = WriteIdByBoard(*platform.files, boardHandle, request.idCode, request.idName);
    boardHandle = platform::kInvalidDeviceHandle;
  } else {
    printerio::ByteChannel channel(*platform.files, *platform.clock, device.Get());
    written = WriteIdByCommands(channel, request.idCode, request.idName, request.record.idCode,
                                request.record.idName);
  }
  device.Close();
  if (!written) return {MessageId::WriteFailed, false};
  return {MessageId::WriteSucceeded, true};
}

}  // namespace

int ModelSelector(const std::string& productText) {
  return discovery::Contains(productText, discovery::kModel880) ? 1 : 0;
}

WriteOutcome WriteId(const platform::Platform& platform, const WriteRequest& request,
                     platform::DeviceHandle& boardHandle,
                     const SetSerialNumberFn& setSerialNumber) {
  platform::ScopedDevice device(*platform.files, platform.files->Open(request.record.devicePath));
  if (!device.Valid()) return {MessageId::CannotCommunicate, false};

  if (!request.printerClassRoute) {
    printerio::ByteChannel(*platform.files, *platform.clock, device.Get()).ApplyChannelTimeouts();
  }
  const IdInput input{request.printerClassRoute, request.idCode, request.idName,
                      request.record.idCode, request.record.idName};
  if (const auto refusal = ValidateIdInput(input)) {
    device.Close();
    return {*refusal, false};
  }
  if (request.printerClassRoute) return WriteByLibrary(device, request, setSerialNumber);
  return WriteByDriver(platform, device, request, boardHandle);
}

}  // namespace nolpa::ident
