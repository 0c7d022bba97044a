#include "discovery/printer_class.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/scoped.h"
#include "platform/waking_request.h"

namespace nolpa::discovery {

namespace {

constexpr char kModelKey[] = "MDL:";
constexpr std::size_t kLengthBytes = 2;

// The length of the text at `text` up to its NUL, at most `max`.
std::size_t BoundedLength(const char* text, std::size_t max) {
  const void* nul = std::memchr(text, 0, max);
  return nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : max;
}

// The device's model text; empty when the request is refused.
std::string ReadModelText(const platform::Platform& platform, platform::DeviceHandle device) {
  std::vector<std::uint8_t> reply(kDeviceIdBufferSize);
  std::uint32_t returned = 0;
  if (!platform::IoControlWaking(*platform.files, *platform.clock, device, kGet1284Id, nullptr, 0,
                                 reply.data(), kDeviceIdBufferSize, &returned))
    return {};
  reply.resize(std::min(returned, kDeviceIdBufferSize));
  return ModelFromDeviceId(reply);
}

std::string ReadSerialNumber(const SerialLibraryView& library, const std::string& path,
                             const std::string& model) {
  if (library.getUSBSerialNumber == nullptr) return {};
  char serial[kSerialBufferSize] = {};
  int length = 0;
  const int selector = Contains(model, kModel880) ? 1 : 0;
  const int result =
      library.getUSBSerialNumber(path.c_str(), serial, kSerialBufferSize, &length, selector);
  if (result != 0) return {};
  // A library that left no NUL still gives no more than its buffer.
  return std::string(serial, BoundedLength(serial, sizeof serial));
}

}  // namespace

std::string ModelFromDeviceId(std::span<const std::uint8_t> reply) {
  if (reply.size() <= kLengthBytes) return {};
  const auto* first = reinterpret_cast<const char*>(reply.data()) + kLengthBytes;
  const std::string text(first, BoundedLength(first, reply.size() - kLengthBytes));
  const std::size_t key = text.find(kModelKey);
  if (key == std::string::npos) return {};
  const std::size_t start = key + std::strlen(kModelKey);
  const std::size_t end = text.find(';', start);
  if (end == std::string::npos) return {};
  return text.substr(start, std::min(end - start, kModelTextMax));
}

bool IsLibraryModel(const std::string& model, const std::array<std::string, 4>* extraModels) {
  if (Contains(model, kModel5200) || Contains(model, kModel880)) return true;
  if (extraModels == nullptr) return false;
  return std::any_of(extraModels->begin(), extraModels->end(), [&model](const std::string& name) {
    return model.find(name) != std::string::npos;
  });
}

bool ProbePrinterClassDevice(const platform::Platform& platform, const SerialLibraryView& library,
                             int index, DeviceList& list) {
  platform::ScopedInterfaceSet set(*platform.interfaces,
                                   platform.interfaces->OpenSet(kPrinterClassInterface));
  if (!set.Valid()) return false;
  std::string path;
  if (!platform.interfaces->InterfacePath(set.Get(), kPrinterClassInterface,
                                          static_cast<std::uint32_t>(index), &path))
    return false;
  platform::ScopedDevice device(*platform.files, platform.files->Open(path));
  if (!device.Valid()) return false;
  const std::string model = ReadModelText(platform, device.Get());
  if (!IsLibraryModel(model, library.addDeviceModels)) return false;
  std::string serial = ReadSerialNumber(library, path, model);
  list.Append({path, model, std::move(serial), "", "", kPrinterClassMarker});
  return true;
}

}  // namespace nolpa::discovery
