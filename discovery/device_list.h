#pragma once
// The found devices: an ordered list of 8-bit strings, six per device.
#include <cstddef>
#include <string>
#include <vector>

namespace nolpa::discovery {

// Slots of one record, in list order.
enum Slot : std::size_t {
  DevicePath = 0,
  ProductText = 1,
  IdCode = 2,
  IdName = 3,
  InfoLine1 = 4,
  InfoLine2 = 5,
};
inline constexpr std::size_t kSlotsPerRecord = 6;

struct DeviceRecord {
  std::string devicePath;
  std::string productText;
  std::string idCode;
  std::string idName;
  std::string infoLine1;
  std::string infoLine2;
};

class DeviceList {
 public:
  // Number of strings; always a multiple of six.
  std::size_t Length() const { return strings_.size(); }
  // Number of records: Length() / 6.
  std::size_t Count() const { return strings_.size() / kSlotsPerRecord; }

  // Appends all six strings of a record.
  void Append(const DeviceRecord& record);
  void Clear() { strings_.clear(); }

  // String at list position 6 * record + slot.
  const std::string& Get(std::size_t record, Slot slot) const;
  void Set(std::size_t record, Slot slot, std::string value);

  DeviceRecord Record(std::size_t record) const;

 private:
  std::vector<std::string> strings_;
};

// Route markers: case-sensitive substring tests on a record's texts.
inline constexpr char kPrinterClassMarker[] = "USB Printer Class";
inline constexpr char kBoardMarker[] = "NW-J";
inline constexpr char kModel880[] = "RK-L880";

inline bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace nolpa::discovery
