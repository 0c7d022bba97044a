#pragma once
// Small fakes of the window-facing platform services for native tests.
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_boxes.h"
#include "platform/system_info.h"
#include "ui/control.h"

namespace nolpa::testing {

class FakeSystemInfo : public platform::SystemInfo {
 public:
  std::uint16_t langId = 0x0409;
  std::uint32_t majorVersion = 6;
  std::uint16_t UserDefaultLangId() override { return langId; }
  std::uint32_t MajorVersion() override { return majorVersion; }
};

struct ShownMessage {
  std::string text;
  std::string caption;
  platform::MessageIcon icon;
  bool whileBusy = false;  // *busyFlag when the box came up
};

class RecordingMessageBoxes : public platform::MessageBoxes {
 public:
  std::vector<ShownMessage> shown;
  const bool* busyFlag = nullptr;  // the form's busy state, when a test wants it
  void Show(const std::string& text, const std::string& caption,
            platform::MessageIcon icon) override {
    shown.push_back({text, caption, icon, busyFlag != nullptr && *busyFlag});
  }
};

class RecordingObserver : public ui::ControlObserver {
 public:
  struct Change {
    ui::ControlId id;
    ui::ControlChange what;
  };
  std::vector<Change> changes;
  int closeRequests = 0;
  void ControlChanged(ui::ControlId id, ui::ControlChange what) override {
    changes.push_back({id, what});
  }
  void CloseRequested() override { ++closeRequests; }
  // Every BusyChanged, in order, and the state it left.
  std::vector<bool> busyChanges;
  bool busy = false;
  void BusyChanged(bool nowBusy) override {
    busyChanges.push_back(nowBusy);
    busy = nowBusy;
  }
  int Count(ui::ControlChange what) const {
    int n = 0;
    for (const auto& c : changes) n += c.what == what ? 1 : 0;
    return n;
  }
};

}  // namespace nolpa::testing
