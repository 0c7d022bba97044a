// The built serial-number libraries loaded by path, as a program loads the
// one it carries: their export tables, what they import, and the answers of
// the four entry points bound by name.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "serial_library/morvalib.h"
#include "serial_library/morvalib_sim.h"
#include "sim/fleet/fleet.h"
#include "sim/library_world.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"
#include "tests/support/library_world_services.h"
#include "tests/wine/programs.h"

namespace nolpa::wine_tests {
namespace {

constexpr char kRealLibrary[] = "Morvalib.dll";
constexpr char kSimLibrary[] = "Morvalib-sim.dll";

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(ProgramPath(name).c_str())) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE Module() const { return module_; }
  template <typename Fn>
  Fn Bind(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  const BYTE* Base() const { return reinterpret_cast<const BYTE*>(module_); }
  const IMAGE_DATA_DIRECTORY& Directory(int entry) const {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(Base() + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[entry];
  }

 private:
  HMODULE module_;
};

// Every exported name; and whether some export has no name at all.
std::set<std::string> ExportedNames(const LoadedLibrary& library, bool* ordinalOnly) {
  const IMAGE_DATA_DIRECTORY& entry = library.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(library.Base() + entry.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(library.Base() + exports->AddressOfNames);
  std::set<std::string> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    result.insert(reinterpret_cast<const char*>(library.Base() + names[i]));
  *ordinalOnly = exports->NumberOfFunctions != exports->NumberOfNames;
  return result;
}

std::set<std::string> ImportedModules(const LoadedLibrary& library) {
  const IMAGE_DATA_DIRECTORY& entry = library.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  std::set<std::string> result;
  for (auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(library.Base() + entry.VirtualAddress);
       import->Name != 0; ++import) {
    std::string name = reinterpret_cast<const char*>(library.Base() + import->Name);
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    result.insert(name);
  }
  return result;
}

struct Flavour {
  const char* library;
  std::set<std::string> exports;
  // System modules the system always takes from its own folder: the real
  // flavour reads the registry and answers sent messages while it waits on
  // a device; the spooler and the device interfaces it loads at run time,
  // from the system folder.
  std::set<std::string> imports;
};

class LibraryFlavours : public ::testing::TestWithParam<Flavour> {};

TEST_P(LibraryFlavours, ExportsExactlyItsNamesAndNeedsOnlySystemModules) {
  LoadedLibrary library(GetParam().library);
  ASSERT_NE(library.Module(), nullptr) << GetParam().library << ": " << GetLastError();
  bool ordinalOnly = true;
  EXPECT_EQ(ExportedNames(library, &ordinalOnly), GetParam().exports);
  EXPECT_FALSE(ordinalOnly) << "an export without a name";
  EXPECT_EQ(ImportedModules(library), GetParam().imports)
      << "a MinGW runtime DLL would have to travel with the library";
}

TEST_P(LibraryFlavours, EntryPointsRefuseMissingArgumentsAndFindNoPrinter) {
  LoadedLibrary library(GetParam().library);
  ASSERT_NE(library.Module(), nullptr);
  const auto getSerial = library.Bind<GetUSBSerialNumberFn>("GetUSBSerialNumber");
  const auto setSerial = library.Bind<SetUSBSerialNumberFn>("SetUSBSerialNumber");
  const auto getFirmware = library.Bind<GetPrinterFirmwareVersionFn>("GetPrinterFirmwareVersion");
  const auto sendReceive = library.Bind<SendReceiveD4CommandFn>("SendReceiveD4Command");
  ASSERT_TRUE(getSerial && setSerial && getFirmware && sendReceive);

  const char path[] = "\\\\?\\usb#vid_0f1a&pid_0520#a1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  const unsigned char command[] = {'s', 't', 1, 0, 1};
  char buffer[64] = {};
  int length = 77;
  EXPECT_EQ(getSerial(nullptr, buffer, 64, &length, 0), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(getSerial(path, buffer, 64, nullptr, 0), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(setSerial(nullptr, "4E4C5041000000A001", 0), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(setSerial(path, "", 0), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(getFirmware(path, buffer, 64, nullptr), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(sendReceive(path, nullptr, 5, nullptr, 0, &length), MORVALIB_E_ARGUMENT);
  EXPECT_EQ(length, 0);

  const char notAnInterface[] = "usb#vid_0f1a&pid_0520#a1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  length = 77;
  EXPECT_EQ(getSerial(notAnInterface, buffer, 64, &length, 1), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(getFirmware(notAnInterface, buffer, 64, &length), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(length, 77);
  EXPECT_EQ(setSerial(notAnInterface, "4E4C5041000000A001", 0), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(sendReceive(notAnInterface, command, 5, nullptr, 0, &length), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(length, 0);
}

// Calls `function` with `count` 32-bit arguments pushed right to left and
// reports in `*leftOnStack` how many bytes of them were still on the stack
// when it returned: all of them under the C calling convention, where the
// caller removes them; none when the callee removed them itself.
extern "C" int NolpaCallMeasuringStack(const void* function, int count, const std::uint32_t* args,
                                       int* leftOnStack);
asm(R"(
    .text
    .globl _NolpaCallMeasuringStack
_NolpaCallMeasuringStack:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl 12(%ebp), %ecx
    movl 16(%ebp), %esi
    movl %esp, %edi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %edi, %ecx
    subl %esp, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    movl %edi, %esp
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

// The exports' calling convention fixed from the caller's side, apart from
// the library's own header: a program binding them as C functions removes
// the arguments itself, so a library whose functions remove them too (a
// switch of both sides to another convention) fails here.
TEST_P(LibraryFlavours, ExportsLeaveTheirArgumentsToTheCaller) {
  LoadedLibrary library(GetParam().library);
  ASSERT_NE(library.Module(), nullptr);
  int length = 0;
  const auto address = [](const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
  };
  // Each call is refused for a null device path before it touches anything.
  const struct {
    const char* name;
    std::vector<std::uint32_t> args;
  } calls[] = {
      {"GetUSBSerialNumber", {0, 0, 0, address(&length), 0}},
      {"SetUSBSerialNumber", {0, address("4E4C5041000000A001"), 0}},
      {"GetPrinterFirmwareVersion", {0, 0, 0, address(&length)}},
      {"SendReceiveD4Command", {0, 0, 0, 0, 0, address(&length)}},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.name);
    const void* function =
        reinterpret_cast<const void*>(GetProcAddress(library.Module(), call.name));
    ASSERT_NE(function, nullptr);
    int left = -1;
    const int count = static_cast<int>(call.args.size());
    EXPECT_EQ(NolpaCallMeasuringStack(function, count, call.args.data(), &left),
              MORVALIB_E_ARGUMENT);
    EXPECT_EQ(left, 4 * count)
        << "the function removed its own arguments: not the C calling convention";
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothFlavours, LibraryFlavours,
    ::testing::Values(Flavour{kRealLibrary,
                              {"GetUSBSerialNumber", "SetUSBSerialNumber",
                               "GetPrinterFirmwareVersion", "SendReceiveD4Command"},
                              {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"}},
                      Flavour{
                          kSimLibrary,
                          {"GetUSBSerialNumber", "SetUSBSerialNumber", "GetPrinterFirmwareVersion",
                           "SendReceiveD4Command", "AttachSimulatedWorld"},
                          {"kernel32.dll", "msvcrt.dll"}}));

TEST(SimulatorLibrary, TakesOnlyACompleteWorld) {
  LoadedLibrary library(kSimLibrary);
  ASSERT_NE(library.Module(), nullptr);
  const auto attach = library.Bind<AttachSimulatedWorldFn>("AttachSimulatedWorld");
  ASSERT_NE(attach, nullptr);
  platform::win32::Win32DeviceFiles files;
  platform::win32::Win32Clock clock;
  EXPECT_EQ(attach(nullptr), MORVALIB_E_ARGUMENT);
  const morvalib::LibraryServices noClock{.files = &files, .clock = nullptr};
  EXPECT_EQ(attach(&noClock), MORVALIB_E_ARGUMENT);
  const morvalib::LibraryServices services{.files = &files, .clock = &clock};
  EXPECT_EQ(attach(&services), MORVALIB_OK);
  // Without the USB tracing services no device can be traced to its
  // socket: a well-formed path finds no printer.
  const auto getSerial = library.Bind<GetUSBSerialNumberFn>("GetUSBSerialNumber");
  int length = 77;
  EXPECT_EQ(getSerial("\\\\?\\usb#vid_0f1a&pid_0520#a1#{x}", nullptr, 0, &length, 0),
            MORVALIB_E_NO_PRINTER);
}

// One serial-number read through the simulator flavour, on the real clock,
// of a simulated printer that answers at once. Its time is printed, not
// bounded: a loaded machine may take any time; the native tests bound it on
// the virtual clock.
TEST(SimulatorLibrary, ReadsASimulatedPrintersSerialNumber) {
  platform::win32::Win32Clock clock;
  sim::World world(clock);
  const sim::ClassPrinter& printer =
      world.AddClassPrinter({.name = "rk",
                             .deviceId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;",
                             .serial = "4E4C5041000000A001"});
  sim::UsbTopology usb(world);
  usb.PlugPrinter(usb.AddHostController(0, 2), 1, printer);
  LoadedLibrary library(kSimLibrary);  // unloaded before the world goes
  ASSERT_NE(library.Module(), nullptr);
  const auto attach = library.Bind<AttachSimulatedWorldFn>("AttachSimulatedWorld");
  const auto getSerial = library.Bind<GetUSBSerialNumberFn>("GetUSBSerialNumber");
  ASSERT_NE(attach, nullptr);
  ASSERT_NE(getSerial, nullptr);
  const morvalib::LibraryServices services{.files = &world.Files(),
                                           .clock = &clock,
                                           .deviceTree = &usb.Tree(),
                                           .hubFiles = &usb.HubFiles(),
                                           .interfaces = &usb.Interfaces()};
  ASSERT_EQ(attach(&services), MORVALIB_OK);

  char buffer[64] = {};
  int length = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(getSerial(printer.InterfacePath().c_str(), buffer, 64, &length, 0), MORVALIB_OK);
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
  std::printf("GetUSBSerialNumber on a simulated printer: %lld ms\n",
              static_cast<long long>(elapsedMs));
  EXPECT_STREQ(buffer, "4E4C5041000000A001");
  EXPECT_EQ(length, 19);
  EXPECT_EQ(world.OpenHandles(), 0u);
}

// A program of its own that calls the simulator flavour while the spooler
// runs: on the default fleet's machine it reaches the printer behind the
// spooler printer through the channel API (the stand-in, bound in this
// process), and its neighbours on the USBHUB3 hubs by their device files,
// each with its own serial number.
TEST(SimulatorLibrary, AnOutsideCallerReachesTheSpooledPrinterThroughTheChannelApi) {
  platform::win32::Win32Clock clock;
  sim::World world(clock);
  sim::LoadFleet(world, sim::DefaultFleetJson());
  sim::LibraryWorld around(world);
  LoadedLibrary library(kSimLibrary);  // unloaded before the world goes
  ASSERT_NE(library.Module(), nullptr);
  const auto attach = library.Bind<AttachSimulatedWorldFn>("AttachSimulatedWorld");
  const auto getSerial = library.Bind<GetUSBSerialNumberFn>("GetUSBSerialNumber");
  ASSERT_TRUE(attach && getSerial);
  const morvalib::LibraryServices services = testing::LibraryWorldServices(world, clock, around);
  ASSERT_EQ(attach(&services), MORVALIB_OK);
  const struct {
    const char* device;
    const char* serial;
    std::size_t loadsAfter;
  } printers[] = {{"rk-l5200s", "4E4C5041000000D004", 1},
                  {"rk-l5200", "4E4C5041000000A001", 1},
                  {"rk-l5200-combo", "4E4C5041000000E005", 1}};
  for (const auto& p : printers) {
    SCOPED_TRACE(p.device);
    char buffer[64] = {};
    int length = 0;
    EXPECT_EQ(
        getSerial(world.PrinterClass(p.device).InterfacePath().c_str(), buffer, 64, &length, 0),
        MORVALIB_OK);
    EXPECT_STREQ(buffer, p.serial);
    EXPECT_EQ(around.ChannelApi().LoadsTotal(), p.loadsAfter);
  }
  EXPECT_EQ(around.ChannelApi().LoadedModules(), 0u);
  EXPECT_EQ(world.OpenHandles(), 0u);
  EXPECT_TRUE(world.Departures().Unexpected().empty()) << around.Report();
}

}  // namespace
}  // namespace nolpa::wine_tests
