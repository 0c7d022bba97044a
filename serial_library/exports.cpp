// The four exports: each one forwards to its body with the real printer
// lookup, and keeps every exception inside the library.
#include <new>

#include "serial_library/call_deadline.h"
#include "serial_library/exchange.h"
#include "serial_library/firmware_version.h"
#include "serial_library/morvalib.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/process_lock.h"
#include "serial_library/serial_number.h"
#include "serial_library/services.h"

namespace {

using namespace nolpa::morvalib;

// Each call makes the process-wide lock for its length: the channel-API
// port's calls into the API take it. Made inside the try, so that not even
// its allocation can let an exception out to a C caller.
template <typename Body>
int Guarded(Body body) {
  try {
    const ProcessLockScope lock;
    const CallDeadlineScope deadline(Services().clock);
    return body(PortOpener(&OpenPrinterPort));
  } catch (const std::bad_alloc&) {
    return MORVALIB_E_MEMORY;
  } catch (...) {
    // Only the platform below can throw anything else: the printer could
    // not be used.
    return MORVALIB_E_NO_PRINTER;
  }
}

}  // namespace

extern "C" {

int MORVALIB_CALL SendReceiveD4Command(const char* devicePath, const unsigned char* command,
                                       int commandLength, unsigned char* reply, int replySize,
                                       int* replyLength) {
  return Guarded([&](const PortOpener& open) {
    return ExchangeControl(open, devicePath, command, commandLength, reply, replySize, replyLength);
  });
}

int MORVALIB_CALL GetUSBSerialNumber(const char* devicePath, char* buffer, int bufferSize,
                                     int* length, int model) {
  return Guarded([&](const PortOpener& open) {
    return ReadSerialNumber(open, devicePath, buffer, bufferSize, length, model);
  });
}

int MORVALIB_CALL SetUSBSerialNumber(const char* devicePath, const char* serialNumber, int model) {
  return Guarded([&](const PortOpener& open) {
    return WriteSerialNumber(open, devicePath, serialNumber, model);
  });
}

int MORVALIB_CALL GetPrinterFirmwareVersion(const char* devicePath, char* buffer, int bufferSize,
                                            int* length) {
  return Guarded([&](const PortOpener& open) {
    return ReadFirmwareVersion(open, devicePath, buffer, bufferSize, length);
  });
}

}  // extern "C"
