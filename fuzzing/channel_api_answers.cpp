// The answers of the maker's channel API, a library outside this program:
// the sizes its sized calls ask for, the counts and results it reports and
// the bytes it writes. The input is read as each call is made: a result, a
// size (little-endian, any sign) and the bytes written, never more than the
// buffer the caller offered.
#include <cstring>
#include <string>

#include "fuzzing/support/fuzz_input.h"
#include "serial_library/channel_api.h"
#include "serial_library/channel_api_functions.h"
#include "serial_library/process_lock.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/spooler_world.h"
#include "sim/world.h"

namespace {

using nolpa::fuzz::FuzzInput;
namespace api = nolpa::morvalib::channel_api;
namespace morvalib = nolpa::morvalib;
namespace platform = nolpa::platform;

constexpr char kPrinter[] = "Line 1";
constexpr char kLibrary[] = "C:\\WINDOWS\\system32\\ZQAPI2.DLL";

FuzzInput* input = nullptr;

int Result() { return static_cast<std::int8_t>(input->Byte()); }
int Size() {
  const std::uint32_t low = input->Le16();
  return static_cast<int>(low | static_cast<std::uint32_t>(input->Le16()) << 16);
}

// A sized call: with no buffer it names a size, else it writes up to the
// offered size and reports a count of its choosing.
int Sized(unsigned char* buffer, int* size) {
  FUZZ_CHECK(size != nullptr);
  if (buffer == nullptr) {
    *size = Size();
    return input->Byte() & 1 ? ZQ_E_SIZE : Result();
  }
  FUZZ_CHECK(*size > 0);
  const auto bytes =
      input->Take(static_cast<std::size_t>(*size) <= input->Left() ? *size : input->Left());
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  *size = Size();
  return Result();
}

extern "C" {
int ZqInitialize() { return Result(); }
int ZqRelease() { return 0; }
int ZqAvailable(int, const char*, unsigned char* buffer, int* size) { return Sized(buffer, size); }
int ZqOpen(int, const char*, unsigned int) { return Result(); }
int ZqClose(int) { return 0; }
int ZqReceive(int, unsigned char* buffer, int* size, int) { return Sized(buffer, size); }
int ZqSend(int, const unsigned char*, int) { return Result(); }
int ZqStatus(int, unsigned char* buffer, int* size) { return Sized(buffer, size); }
int ZqDeviceId(int, const char*, char* buffer, int* size) {
  return Sized(reinterpret_cast<unsigned char*>(buffer), size);
}
}

class FuzzModules final : public platform::Modules {
 public:
  platform::ModuleHandle Load(const std::string&) override { return 1; }
  platform::ExportedFunction Export(platform::ModuleHandle, const char* name) override {
    const std::string n = name;
    if (n == "ZQInitialize") return reinterpret_cast<platform::ExportedFunction>(&ZqInitialize);
    if (n == "ZQRelease") return reinterpret_cast<platform::ExportedFunction>(&ZqRelease);
    if (n == "ZQGetAvailableChannel")
      return reinterpret_cast<platform::ExportedFunction>(&ZqAvailable);
    if (n == "ZQOpenChannel") return reinterpret_cast<platform::ExportedFunction>(&ZqOpen);
    if (n == "ZQCloseChannel") return reinterpret_cast<platform::ExportedFunction>(&ZqClose);
    if (n == "ZQReceive") return reinterpret_cast<platform::ExportedFunction>(&ZqReceive);
    if (n == "ZQSend") return reinterpret_cast<platform::ExportedFunction>(&ZqSend);
    if (n == "ZQGetStatus") return reinterpret_cast<platform::ExportedFunction>(&ZqStatus);
    if (n == "ZQGetDeviceID") return reinterpret_cast<platform::ExportedFunction>(&ZqDeviceId);
    return nullptr;
  }
  void Free(platform::ModuleHandle) override {}
};

struct Setting {
  nolpa::sim::VirtualClock clock;
  nolpa::sim::World world{clock};
  nolpa::sim::SpoolerWorld spooler{world};
  FuzzModules modules;
  morvalib::LibraryServices services{.files = &world.Files(),
                                     .clock = &clock,
                                     .spooler = &spooler.Spooler(),
                                     .registry = &spooler.Registry(),
                                     .interfaces = &world.Interfaces(),
                                     .system = &spooler.System(),
                                     .modules = &modules};
  Setting() {
    spooler.SetSystemDirectory("C:\\WINDOWS\\system32");
    spooler.AddDriver(
        {.name = "Nolpa Line", .driverPath = "C:\\drivers\\NLLINE.DLL", .dataFile = "NLLINE.INI"});
    spooler.SetMachineString("Software\\VARDU\\QTR7\\Driver\\Nolpa Line", "ZQAPI32", "ZQAPI2.DLL");
    spooler.AddPrinter({.name = kPrinter, .port = "USB001", .driver = "Nolpa Line"});
    spooler.AddFile(kLibrary);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setting setting;
  FuzzInput in(data, size);
  input = &in;
  if (api::Load(setting.services, kPrinter)) {
    if (const auto id = api::DeviceId(kPrinter)) {
      FUZZ_CHECK(id->find('\0') == std::string::npos);
      FUZZ_CHECK(id->size() <= static_cast<std::size_t>(api::kMaxSizedBuffer));
    }
    if (const auto channels = api::AvailableChannels(kPrinter))
      FUZZ_CHECK(channels->size() <=
                 static_cast<std::size_t>(api::kMaxSizedBuffer) / ZQ_CHANNEL_ENTRY_SIZE);
    const int channel = api::OpenChannel(kPrinter, ZQ_CHANNEL_CONTROL);
    const std::uint8_t command[] = {'s', 't'};
    api::Send(channel, command, 2);
    if (const auto got = api::Receive(channel, 20000))
      FUZZ_CHECK(got->size() <= static_cast<std::size_t>(api::kMaxSizedBuffer));
    if (const auto status = api::Status(channel))
      FUZZ_CHECK(status->size() <= static_cast<std::size_t>(api::kMaxSizedBuffer));
    api::CloseChannel(channel);
    api::Unload();
  }
  FUZZ_CHECK(!api::Loaded());
  FUZZ_CHECK(api::LiveBuffers() == 0);
  FUZZ_CHECK(morvalib::ProcessLockHold::Holds() == 0);
  input = nullptr;
  return 0;
}
