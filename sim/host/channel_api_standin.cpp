#include "sim/host/channel_api_standin.h"

#include <algorithm>
#include <cstring>

#include "sim/core/departures.h"
#include "sim/host/host_system.h"
#include "sim/printers/class_printer_commands.h"

namespace nolpa::sim {

namespace {

constexpr platform::ModuleHandle kModule = 0x62000000;
// The stand-in's own channel type beside the two the host asks for.
constexpr std::uint32_t kOtherChannel = 0x10020001;
constexpr std::size_t kEntrySize = 8;

ChannelApiStandIn*& Active() {
  static ChannelApiStandIn* active = nullptr;
  return active;
}

// The C exports: each reaches the loaded stand-in, or fails when none is.
int ZQInitialize() { return Active() ? Active()->Initialize() : kZqFailed; }
int ZQRelease() { return Active() ? Active()->Release() : kZqFailed; }
int ZQGetAvailableChannel(int byName, const char* printer, unsigned char* buffer, int* size) {
  return Active() ? Active()->AvailableChannels(byName, printer, buffer, size) : kZqFailed;
}
int ZQOpenChannel(int byName, const char* printer, unsigned int type) {
  return Active() ? Active()->OpenChannel(byName, printer, type) : kZqFailed;
}
int ZQCloseChannel(int channel) { return Active() ? Active()->CloseChannel(channel) : kZqFailed; }
int ZQReceive(int channel, unsigned char* buffer, int* size, int waitMs) {
  return Active() ? Active()->Receive(channel, buffer, size, waitMs) : kZqFailed;
}
int ZQSend(int channel, const unsigned char* bytes, int count) {
  return Active() ? Active()->Send(channel, bytes, count) : kZqFailed;
}
int ZQGetStatus(int channel, unsigned char* buffer, int* size) {
  return Active() ? Active()->Status(channel, buffer, size) : kZqFailed;
}
int ZQGetDeviceID(int byName, const char* printer, char* buffer, int* size) {
  return Active() ? Active()->DeviceId(byName, printer, buffer, size) : kZqFailed;
}

template <typename Fn>
platform::ExportedFunction AsExport(Fn* function) {
  return reinterpret_cast<platform::ExportedFunction>(function);
}

struct ExportEntry {
  const char* name;
  platform::ExportedFunction function;
};
const ExportEntry kExports[] = {
    {"ZQInitialize", AsExport(&ZQInitialize)},
    {"ZQRelease", AsExport(&ZQRelease)},
    {"ZQGetAvailableChannel", AsExport(&ZQGetAvailableChannel)},
    {"ZQOpenChannel", AsExport(&ZQOpenChannel)},
    {"ZQCloseChannel", AsExport(&ZQCloseChannel)},
    {"ZQReceive", AsExport(&ZQReceive)},
    {"ZQSend", AsExport(&ZQSend)},
    {"ZQGetStatus", AsExport(&ZQGetStatus)},
    {"ZQGetDeviceID", AsExport(&ZQGetDeviceID)},
};

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

const char* TypeName(std::uint32_t type) {
  return type == kZqControlChannel ? "control" : type == kZqDataChannel ? "data" : "other";
}

}  // namespace

ChannelApiStandIn::ChannelApiStandIn(World& world, SpoolerWorld& spooler)
    : world_(world), spooler_(spooler) {}

ChannelApiStandIn::~ChannelApiStandIn() {
  if (references_ > 0)
    Note(departure::kChannelApiLeftLoaded, std::to_string(references_) + " load(s)");
  if (Active() == this) Active() = nullptr;
}

ChannelApiBehaviour& ChannelApiStandIn::AddLibrary(const std::string& path) {
  spooler_.AddFile(path);
  return libraries_[HostPathKey(path)];
}

void ChannelApiStandIn::Log(std::string call) {
  if (world_.Recorder().Enabled()) calls_.push_back(std::move(call));
}

void ChannelApiStandIn::Note(const char* kind, std::string detail) {
  world_.Departures().Note({world_.Clock().NowMs(), "channel api", kind, std::move(detail)});
}

bool ChannelApiStandIn::ModuleLoaded(const std::string& path) {
  const auto library = libraries_.find(HostPathKey(path));
  if (library == libraries_.end() || !spooler_.HasFile(path) || !library->second.loads)
    return false;
  ++loadsTotal_;
  ++references_;
  active_ = &library->second;
  Active() = this;
  return true;
}

void ChannelApiStandIn::ModuleFreed() {
  if (references_ == 0) {
    Note(departure::kModuleFreedTwice, "channel API");
    return;
  }
  if (--references_ > 0) return;
  active_ = nullptr;
  if (Active() == this) Active() = nullptr;
}

platform::ExportedFunction ChannelApiStandIn::ExportNamed(const char* name) const {
  if (name == nullptr || references_ == 0 || active_ == nullptr) return nullptr;
  if (std::find(active_->missing.begin(), active_->missing.end(), name) != active_->missing.end())
    return nullptr;
  for (const ExportEntry& entry : kExports)
    if (std::string_view(entry.name) == name) return entry.function;
  return nullptr;
}

platform::ModuleHandle ChannelApiStandIn::Load(const std::string& path) {
  return ModuleLoaded(path) ? kModule : 0;
}

platform::ExportedFunction ChannelApiStandIn::Export(platform::ModuleHandle module,
                                                     const char* name) {
  return module == kModule ? ExportNamed(name) : nullptr;
}

void ChannelApiStandIn::Free(platform::ModuleHandle module) {
  if (module != kModule) {
    Note(departure::kModuleFreedTwice, "channel API");
    return;
  }
  ModuleFreed();
}

bool ChannelApiStandIn::Initialised(const char* call) {
  if (initialised_) return true;
  Note(departure::kChannelApiNotInitialised, call);
  return false;
}

bool ChannelApiStandIn::Refused(const char* operation) const {
  return active_ != nullptr && active_->fails && active_->fails(operation);
}

ClassPrinter* ChannelApiStandIn::PrinterNamed(int byName, const char* printer) {
  if (byName != kZqByName || printer == nullptr) return nullptr;
  return spooler_.PrinterBehind(printer);
}

ChannelApiStandIn::Channel* ChannelApiStandIn::OpenChannelNamed(int channel, const char* call) {
  const auto found = channels_.find(channel);
  if (found != channels_.end()) return &found->second;
  Note(departure::kChannelUsedAfterClose, std::string(call) + " on " + std::to_string(channel));
  return nullptr;
}

int ChannelApiStandIn::Sized(const char* call, const std::vector<std::uint8_t>& answer,
                             unsigned char* buffer, int* size) {
  Log(std::string(call) + (buffer == nullptr ? "(null)" : "(buffer)"));
  if (size == nullptr) return kZqFailed;
  if (buffer != nullptr && world_.Recorder().Enabled()) bufferSizes_.push_back(*size);
  const int needed = static_cast<int>(answer.size());
  if (buffer == nullptr || *size < needed) {
    if (buffer != nullptr) Note(departure::kSizeQueryIgnored, call);
    *size = needed;
    return kZqSize;
  }
  std::copy(answer.begin(), answer.end(), buffer);
  *size = needed;
  return needed;
}

int ChannelApiStandIn::Initialize() {
  Log("ZQInitialize");
  ++initializeCalls_;
  if (Refused("ZQInitialize")) {
    initialised_ = false;
    return kZqFailed;
  }
  initialised_ = active_ != nullptr && active_->initializeResult >= 0;
  return active_ != nullptr ? active_->initializeResult : kZqFailed;
}

int ChannelApiStandIn::Release() {
  Log("ZQRelease");
  ++releaseCalls_;
  if (!Initialised("ZQRelease")) return kZqFailed;
  if (!channels_.empty())
    Note(departure::kChannelOpenAtRelease, std::to_string(channels_.size()) + " open");
  channels_.clear();
  initialised_ = false;
  return Refused("ZQRelease") ? kZqFailed : 0;
}

int ChannelApiStandIn::DeviceId(int byName, const char* printer, char* buffer, int* size) {
  if (!Initialised("ZQGetDeviceID")) return kZqFailed;
  if (Refused("ZQGetDeviceID")) return kZqFailed;
  if (active_->deviceIdResult != 0) return active_->deviceIdResult;
  ClassPrinter* target = PrinterNamed(byName, printer);
  if (target == nullptr) return kZqNoPrinter;
  std::vector<std::uint8_t> text(target->DeviceId().begin(), target->DeviceId().end());
  text.push_back(0);
  const int result = Sized("ZQGetDeviceID", text, reinterpret_cast<unsigned char*>(buffer), size);
  return result < 0 ? result : 0;
}

int ChannelApiStandIn::AvailableChannels(int byName, const char* printer, unsigned char* buffer,
                                         int* size) {
  if (!Initialised("ZQGetAvailableChannel")) return kZqFailed;
  if (Refused("ZQGetAvailableChannel")) return kZqFailed;
  if (active_->channelListResult != 0) return active_->channelListResult;
  ClassPrinter* target = PrinterNamed(byName, printer);
  if (target == nullptr) return kZqNoPrinter;
  // A channel of the printer's own first; the control channel is listed
  // unusable (value 0) unless the printer runs the packet protocol.
  const bool control = target->Peripheral().OffersPacketProtocol() && !active_->noControlChannel;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> entries = {
      {kOtherChannel, 1}, {kZqControlChannel, control ? 2 : 0}, {kZqDataChannel, 3}};
  if (!active_->channelList.empty()) entries = active_->channelList;
  std::vector<std::uint8_t> list;
  for (const auto& [type, value] : entries) {
    PutLittleEndian(list, type, 4);
    PutLittleEndian(list, value, 2);
    PutLittleEndian(list, 0, 2);
  }
  const int result = Sized("ZQGetAvailableChannel", list, buffer, size);
  return result < 0 ? result : static_cast<int>(list.size() / kEntrySize);
}

int ChannelApiStandIn::OpenChannel(int byName, const char* printer, unsigned int type) {
  Log(std::string("ZQOpenChannel(") + TypeName(type) + ")");
  if (!Initialised("ZQOpenChannel")) return kZqFailed;
  if (Refused("ZQOpenChannel")) return kZqFailed;
  if (active_->openChannelResult != 0) return active_->openChannelResult;
  ClassPrinter* target = PrinterNamed(byName, printer);
  if (target == nullptr) return kZqNoPrinter;
  const bool usable = type == kZqDataChannel ||
                      (type == kZqControlChannel && target->Peripheral().OffersPacketProtocol() &&
                       !active_->noControlChannel);
  if (!usable) return kZqFailed;
  const int channel = nextChannel_++;
  channels_[channel] = {printer, type, {}};
  ++channelsOpenedTotal_;
  return channel;
}

int ChannelApiStandIn::CloseChannel(int channel) {
  Log("ZQCloseChannel");
  if (!Initialised("ZQCloseChannel")) return kZqFailed;
  if (OpenChannelNamed(channel, "ZQCloseChannel") == nullptr) return kZqFailed;
  if (ClassPrinter* target = spooler_.PrinterBehind(channels_[channel].printer))
    target->Peripheral().Commands().Reset();
  channels_.erase(channel);
  return Refused("ZQCloseChannel") ? kZqFailed : 0;
}

int ChannelApiStandIn::Send(int channel, const unsigned char* bytes, int count) {
  Log("ZQSend");
  if (!Initialised("ZQSend")) return kZqFailed;
  if (Refused("ZQSend")) return kZqFailed;
  Channel* open = OpenChannelNamed(channel, "ZQSend");
  if (open == nullptr || bytes == nullptr || count <= 0) return kZqFailed;
  if (active_->sendResult != 0) return active_->sendResult;
  ClassPrinter* target = spooler_.PrinterBehind(open->printer);
  if (target == nullptr) return kZqNoPrinter;
  const std::span<const std::uint8_t> data(bytes, static_cast<std::size_t>(count));
  if (open->type == kZqControlChannel) {
    target->ControlCommand(data, open->inbox);
  } else if (std::equal(data.begin(), data.end(), std::begin(kRemoteStatusRequest),
                        std::end(kRemoteStatusRequest))) {
    const std::vector<std::uint8_t> status =
        target->Peripheral().Commands().StatusReply(target->Faults().peripheral);
    open->inbox.insert(open->inbox.end(), status.begin(), status.end());
  }
  return count;
}

int ChannelApiStandIn::Receive(int channel, unsigned char* buffer, int* size, int waitMs) {
  if (!Initialised("ZQReceive")) return kZqFailed;
  if (Refused("ZQReceive")) return kZqFailed;
  Channel* open = OpenChannelNamed(channel, "ZQReceive");
  if (open == nullptr) return kZqFailed;
  if (world_.Recorder().Enabled()) receiveWaits_.push_back(waitMs);
  if (open->inbox.empty()) {
    Log(std::string("ZQReceive") + (buffer == nullptr ? "(null)" : "(buffer)"));
    world_.Clock().SleepMs(static_cast<std::uint32_t>(std::max(waitMs, 0)));
    return kZqTimedOut;
  }
  const int result = Sized("ZQReceive", open->inbox, buffer, size);
  if (result > 0) open->inbox.clear();
  return result;
}

int ChannelApiStandIn::Status(int channel, unsigned char* buffer, int* size) {
  if (!Initialised("ZQGetStatus")) return kZqFailed;
  if (Refused("ZQGetStatus")) return kZqFailed;
  Channel* open = OpenChannelNamed(channel, "ZQGetStatus");
  if (open == nullptr) return kZqFailed;
  if (active_->statusResult != 0) return active_->statusResult;
  ClassPrinter* target = spooler_.PrinterBehind(open->printer);
  if (target == nullptr) return kZqNoPrinter;
  const int result =
      Sized("ZQGetStatus", target->Peripheral().Commands().StatusReply(target->Faults().peripheral),
            buffer, size);
  return result < 0 ? result : 0;
}

}  // namespace nolpa::sim
