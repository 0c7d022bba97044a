#include "printerio/test_print.h"

#include "platform/scoped.h"
#include "printerio/byte_channel.h"

namespace nolpa::printerio {

bool SendTestPrint(const platform::Platform& platform, const std::string& devicePath,
                   bool printerClassRoute) {
  platform::ScopedDevice device(*platform.files, platform.files->Open(devicePath));
  // A printer-class printer takes no raw text on this handle.
  if (!device.Valid() || printerClassRoute) return false;
  ByteChannel channel(*platform.files, *platform.clock, device.Get());
  channel.ApplyChannelTimeouts();
  // The window reports nothing: the operator sees the page or does not.
  return channel.WriteAll(kTestLine);
}

}  // namespace nolpa::printerio
