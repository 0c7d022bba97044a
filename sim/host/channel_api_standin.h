#pragma once
// A stand-in for the maker's channel API: a module table that loads a file
// registered as a channel-API library, whose nine C exports (ZQInitialize
// ... ZQGetDeviceID) reach the simulated printers behind the spooler's
// printers. Commands sent on a control channel go to the printer's own
// command interpreter ("tp", "st"); the status comes from the printer; every
// sized call answers a null buffer with -4 and the size. The exports are
// plain C functions, so they reach the stand-in loaded last through one
// process-wide slot, as the host's module table does.
//
//   ChannelApiStandIn api(world, spooler);
//   api.AddLibrary("C:\\WINDOWS\\system32\\ZQAPI2.DLL");
//   services.modules = &api.Modules();
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/modules.h"
#include "sim/host/spooler_world.h"

namespace nolpa::sim {

// Results the stand-in gives on a failure.
inline constexpr int kZqSize = -4;
inline constexpr int kZqFailed = -1;
inline constexpr int kZqTimedOut = -2;
inline constexpr int kZqNoPrinter = -5;

// Channel types and the first argument of the calls naming a printer.
inline constexpr std::uint32_t kZqControlChannel = 0x10000005;
inline constexpr std::uint32_t kZqDataChannel = 0x10010003;
inline constexpr int kZqByName = 1;

// How one library file behaves; the default behaves.
struct ChannelApiBehaviour {
  // False for a file that exists but does not load (a 64-bit library in a
  // 32-bit process): LoadLibraryA fails.
  bool loads = true;
  int initializeResult = 0;
  std::vector<std::string> missing{};  // exports the file lacks
  // Results given instead of the real answer (0: none).
  int deviceIdResult = 0;
  int channelListResult = 0;
  int openChannelResult = 0;
  int sendResult = 0;
  int statusResult = 0;
  // The channel list offers no usable control channel.
  bool noControlChannel = false;
  // The channel list given instead of the printer's own: (type, value)
  // entries in order, value 0 marking a channel that cannot be used. Empty:
  // the printer's own list.
  std::vector<std::pair<std::uint32_t, std::uint16_t>> channelList{};
  // Asked with the operation's name ("ZQSend") at every call once the
  // library is loaded; true makes that call fail with kZqFailed. ZQRelease
  // and ZQCloseChannel still do their work: their result is only advisory.
  std::function<bool(const char* operation)> fails{};
};

class ChannelApiStandIn : private platform::Modules {
 public:
  ChannelApiStandIn(World& world, SpoolerWorld& spooler);
  ~ChannelApiStandIn() override;
  ChannelApiStandIn(const ChannelApiStandIn&) = delete;
  ChannelApiStandIn& operator=(const ChannelApiStandIn&) = delete;

  platform::Modules& Modules() { return *this; }

  // Registers `path` as a channel-API library file (and makes it exist).
  ChannelApiBehaviour& AddLibrary(const std::string& path);

  // For a real module file that forwards its nine exports to this stand-in
  // (NOLPAID-sim.exe): the file at `path` was loaded (false, and nothing
  // counted, when it is no registered library: the load is then refused),
  // was freed, and its export `name` (null when the file lacks it or
  // nothing is loaded). The module table below uses the same three.
  bool ModuleLoaded(const std::string& path);
  void ModuleFreed();
  platform::ExportedFunction ExportNamed(const char* name) const;

  // What happened.
  std::size_t LoadsTotal() const { return loadsTotal_; }
  std::size_t LoadedModules() const { return references_; }
  int InitializeCalls() const { return initializeCalls_; }
  int ReleaseCalls() const { return releaseCalls_; }
  // ZQInitialize succeeded and no ZQRelease has followed.
  bool IsInitialised() const { return initialised_; }
  std::size_t OpenChannels() const { return channels_.size(); }
  std::size_t ChannelsOpenedTotal() const { return channelsOpenedTotal_; }
  // While the world's recorder is on (see Log):
  // every call into the library, in order: "ZQGetDeviceID(null)",
  // "ZQGetDeviceID(buffer)", "ZQOpenChannel(control)", "ZQSend", ...
  const std::vector<std::string>& Calls() const { return calls_; }
  // The size each sized call was given with its buffer.
  const std::vector<int>& BufferSizes() const { return bufferSizes_; }
  // The wait times ZQReceive was given.
  const std::vector<int>& ReceiveWaits() const { return receiveWaits_; }

  // The exports' bodies, reached from the C trampolines.
  int Initialize();
  int Release();
  int AvailableChannels(int byName, const char* printer, unsigned char* buffer, int* size);
  int OpenChannel(int byName, const char* printer, unsigned int type);
  int CloseChannel(int channel);
  int Receive(int channel, unsigned char* buffer, int* size, int waitMs);
  int Send(int channel, const unsigned char* bytes, int count);
  int Status(int channel, unsigned char* buffer, int* size);
  int DeviceId(int byName, const char* printer, char* buffer, int* size);

 private:
  struct Channel {
    std::string printer;
    std::uint32_t type;
    std::vector<std::uint8_t> inbox;
  };

  // platform::Modules
  platform::ModuleHandle Load(const std::string& path) override;
  platform::ExportedFunction Export(platform::ModuleHandle module, const char* name) override;
  void Free(platform::ModuleHandle module) override;

  // Keeps a call in Calls() while the world's recorder is on: a long run
  // of the simulator program, with the recorder off, keeps nothing.
  void Log(std::string call);
  void Note(const char* kind, std::string detail);
  bool Initialised(const char* call);
  // The loaded file's fault switch says `operation` fails.
  bool Refused(const char* operation) const;
  ClassPrinter* PrinterNamed(int byName, const char* printer);
  Channel* OpenChannelNamed(int channel, const char* call);
  // Answers a sized call: the size query, or the copy into a buffer that
  // holds `answer`.
  int Sized(const char* call, const std::vector<std::uint8_t>& answer, unsigned char* buffer,
            int* size);

  World& world_;
  SpoolerWorld& spooler_;
  std::map<std::string, ChannelApiBehaviour> libraries_;  // by path key
  const ChannelApiBehaviour* active_ = nullptr;           // of the loaded file
  std::size_t references_ = 0;
  std::size_t loadsTotal_ = 0;
  bool initialised_ = false;
  int initializeCalls_ = 0;
  int releaseCalls_ = 0;
  std::map<int, Channel> channels_;
  int nextChannel_ = 0x31;
  std::size_t channelsOpenedTotal_ = 0;
  std::vector<std::string> calls_;
  std::vector<int> receiveWaits_;
  std::vector<int> bufferSizes_;
};

}  // namespace nolpa::sim
