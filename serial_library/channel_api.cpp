#include "serial_library/channel_api.h"

#include <cstring>
#include <functional>
#include <new>

#include "serial_library/channel_api_functions.h"
#include "serial_library/channel_api_location.h"
#include "serial_library/process_lock.h"

namespace nolpa::morvalib::channel_api {

namespace {

struct Operations {
  ZQInitializeFn initialize = nullptr;
  ZQReleaseFn release = nullptr;
  ZQGetAvailableChannelFn getAvailableChannel = nullptr;
  ZQOpenChannelFn openChannel = nullptr;
  ZQCloseChannelFn closeChannel = nullptr;
  ZQReceiveFn receive = nullptr;
  ZQSendFn send = nullptr;
  ZQGetStatusFn getStatus = nullptr;
  ZQGetDeviceIDFn getDeviceId = nullptr;
};

struct State {
  platform::Modules* modules = nullptr;  // what loaded the module
  platform::ModuleHandle module = 0;
  int references = 0;
  int lastResult = 0;
  int liveBuffers = 0;
  Operations ops;
};

State& Api() {
  static State state;
  return state;
}

template <typename Fn>
bool Bind(platform::Modules& modules, platform::ModuleHandle module, const char* name, Fn* slot) {
  *slot = reinterpret_cast<Fn>(modules.Export(module, name));
  return *slot != nullptr;
}

// In the order the API's operations are looked up.
bool BindAll(platform::Modules& modules, platform::ModuleHandle module, Operations* ops) {
  return Bind(modules, module, "ZQInitialize", &ops->initialize) &&
         Bind(modules, module, "ZQRelease", &ops->release) &&
         Bind(modules, module, "ZQGetAvailableChannel", &ops->getAvailableChannel) &&
         Bind(modules, module, "ZQOpenChannel", &ops->openChannel) &&
         Bind(modules, module, "ZQCloseChannel", &ops->closeChannel) &&
         Bind(modules, module, "ZQReceive", &ops->receive) &&
         Bind(modules, module, "ZQSend", &ops->send) &&
         Bind(modules, module, "ZQGetStatus", &ops->getStatus) &&
         Bind(modules, module, "ZQGetDeviceID", &ops->getDeviceId);
}

void Forget(State& api) {
  if (api.module != 0) api.modules->Free(api.module);
  api.modules = nullptr;
  api.module = 0;
  api.references = 0;
  api.ops = {};
}

// A buffer of a sized call, from the heap, freed on every path.
class HeapBuffer {
 public:
  explicit HeapBuffer(int size)
      : bytes_(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]()) {
    if (bytes_ != nullptr) ++Api().liveBuffers;
  }
  ~HeapBuffer() {
    if (bytes_ != nullptr) --Api().liveBuffers;
    delete[] bytes_;
  }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  std::uint8_t* data() const { return bytes_; }

 private:
  std::uint8_t* bytes_;
};

// The size-query protocol: `call(nullptr, &size)` must answer ZQ_E_SIZE
// with the size it needs; the call is then made again with a heap buffer of
// that size plus one byte. `take` reads the answer out of the buffer (given
// the second result and the size it reported) before the buffer is freed.
// A negative result is kept as the last result; anything else unexpected
// (a size query answered otherwise, an impossible size) also fails.
bool Sized(const std::function<int(std::uint8_t* buffer, int* size)>& call,
           const std::function<bool(int result, const std::uint8_t* bytes, int size, int capacity)>&
               take) {
  State& api = Api();
  int size = 0;
  const int query = call(nullptr, &size);
  if (query != ZQ_E_SIZE) {
    if (query < 0) api.lastResult = query;
    return false;
  }
  if (size <= 0 || size > kMaxSizedBuffer) return false;
  const int capacity = size + 1;
  HeapBuffer buffer(capacity);
  if (buffer.data() == nullptr) return false;
  int reported = capacity;
  const int result = call(buffer.data(), &reported);
  if (result < 0) {
    api.lastResult = result;
    return false;
  }
  return take(result, buffer.data(), reported, capacity);
}

bool Ready(const State& api) { return api.module != 0; }

std::vector<std::uint8_t> Copy(const std::uint8_t* bytes, int count) {
  return std::vector<std::uint8_t>(bytes, bytes + count);
}

}  // namespace

bool Load(const LibraryServices& services, const std::string& printerName) {
  ProcessLockHold hold;
  State& api = Api();
  if (api.module != 0 && api.references > 0) {
    ++api.references;
    return true;
  }
  if (!HasChannelApiServices(services)) return false;
  const std::string path = LocateChannelApi(services, printerName);
  if (path.empty()) return false;
  api.modules = services.modules;
  api.module = api.modules->Load(path);
  if (api.module == 0 || !BindAll(*api.modules, api.module, &api.ops)) {
    Forget(api);
    return false;
  }
  api.lastResult = api.ops.initialize();
  if (api.lastResult < 0) {
    Forget(api);
    return false;
  }
  api.references = 1;
  return true;
}

void Unload() {
  ProcessLockHold hold;
  State& api = Api();
  if (api.module == 0 || api.references <= 0) return;
  if (--api.references > 0) return;
  api.ops.release();
  Forget(api);
}

bool Loaded() { return Api().module != 0; }
int ReferenceCount() { return Api().references; }
int LastResult() { return Api().lastResult; }
int LiveBuffers() { return Api().liveBuffers; }

std::optional<std::string> DeviceId(const std::string& printerName) {
  ProcessLockHold hold;
  const State& api = Api();
  if (!Ready(api)) return std::nullopt;
  std::optional<std::string> id;
  Sized(
      [&](std::uint8_t* buffer, int* size) {
        return api.ops.getDeviceId(ZQ_PRINTER_BY_NAME, printerName.c_str(),
                                   reinterpret_cast<char*>(buffer), size);
      },
      [&](int result, const std::uint8_t* bytes, int, int capacity) {
        if (result != 0) return false;
        const char* text = reinterpret_cast<const char*>(bytes);
        id.emplace(text, strnlen(text, static_cast<std::size_t>(capacity)));
        return true;
      });
  return id;
}

std::optional<std::vector<ChannelEntry>> AvailableChannels(const std::string& printerName) {
  ProcessLockHold hold;
  const State& api = Api();
  if (!Ready(api)) return std::nullopt;
  std::optional<std::vector<ChannelEntry>> entries;
  Sized(
      [&](std::uint8_t* buffer, int* size) {
        return api.ops.getAvailableChannel(ZQ_PRINTER_BY_NAME, printerName.c_str(), buffer, size);
      },
      [&](int count, const std::uint8_t* bytes, int, int capacity) {
        // Never past the buffer, whatever count the API claims.
        if (count <= 0 || count > capacity / ZQ_CHANNEL_ENTRY_SIZE) return false;
        entries.emplace();
        for (int i = 0; i < count; ++i) {
          const std::uint8_t* e = bytes + i * ZQ_CHANNEL_ENTRY_SIZE;
          entries->push_back({static_cast<std::uint32_t>(e[0] | e[1] << 8 | e[2] << 16) |
                                  static_cast<std::uint32_t>(e[3]) << 24,
                              static_cast<std::uint16_t>(e[4] | e[5] << 8)});
        }
        return true;
      });
  return entries;
}

int OpenChannel(const std::string& printerName, std::uint32_t channelType) {
  ProcessLockHold hold;
  State& api = Api();
  if (!Ready(api)) return 0;
  const int channel = api.ops.openChannel(ZQ_PRINTER_BY_NAME, printerName.c_str(), channelType);
  if (channel < 0) api.lastResult = channel;
  return channel;
}

bool Send(int channel, const std::uint8_t* bytes, int count) {
  ProcessLockHold hold;
  State& api = Api();
  if (!Ready(api)) return false;
  const int result = api.ops.send(channel, bytes, count);
  if (result < 0) api.lastResult = result;
  return result > 0;
}

std::optional<std::vector<std::uint8_t>> Receive(int channel, int waitMs) {
  ProcessLockHold hold;
  const State& api = Api();
  if (!Ready(api)) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> received;
  Sized([&](std::uint8_t* buffer,
            int* size) { return api.ops.receive(channel, buffer, size, waitMs); },
        [&](int count, const std::uint8_t* bytes, int, int capacity) {
          if (count <= 0 || count > capacity) return false;
          received = Copy(bytes, count);
          return true;
        });
  return received;
}

std::optional<std::vector<std::uint8_t>> Status(int channel) {
  ProcessLockHold hold;
  const State& api = Api();
  if (!Ready(api)) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> status;
  Sized([&](std::uint8_t* buffer, int* size) { return api.ops.getStatus(channel, buffer, size); },
        [&](int, const std::uint8_t* bytes, int length, int capacity) {
          if (length < 0 || length > capacity) return false;
          status = Copy(bytes, length);
          return true;
        });
  return status;
}

void CloseChannel(int channel) {
  ProcessLockHold hold;
  const State& api = Api();
  if (Ready(api)) api.ops.closeChannel(channel);
}

}  // namespace nolpa::morvalib::channel_api
