#include "discovery/device_list.h"

namespace nolpa::discovery {

void DeviceList::Append(const DeviceRecord& record) {
  strings_.reserve(strings_.size() + kSlotsPerRecord);
  strings_.push_back(record.devicePath);
  strings_.push_back(record.productText);
  strings_.push_back(record.idCode);
  strings_.push_back(record.idName);
  strings_.push_back(record.infoLine1);
  strings_.push_back(record.infoLine2);
}

const std::string& DeviceList::Get(std::size_t record, Slot slot) const {
  return strings_.at(record * kSlotsPerRecord + slot);
}

void DeviceList::Set(std::size_t record, Slot slot, std::string value) {
  strings_.at(record * kSlotsPerRecord + slot) = std::move(value);
}

DeviceRecord DeviceList::Record(std::size_t record) const {
  return {Get(record, DevicePath), Get(record, ProductText), Get(record, IdCode),
          Get(record, IdName),     Get(record, InfoLine1),   Get(record, InfoLine2)};
}

}  // namespace nolpa::discovery
