#include "app/run_command_line.h"

#include <exception>
#include <optional>

namespace nolpa::app {

namespace {

bool SameText(ui::TMainForm& form, const std::string& a, const std::string& b) {
  return form.Services().platform.textCompare->EqualIgnoringCase(a, b);
}

// The first device of the list the command line's product name chooses.
std::optional<discovery::DeviceRecord> FirstMatchingDevice(ui::TMainForm& form, int* index) {
  if (!form.DeviceList) return std::nullopt;
  for (std::size_t i = 0; i < form.DeviceList->Count(); ++i) {
    discovery::DeviceRecord record = form.DeviceList->Record(i);
    if (form.BatchProductName.empty() ||
        SameText(form, form.BatchProductName, record.productText)) {
      if (index != nullptr) *index = static_cast<int>(i);
      return record;
    }
  }
  return std::nullopt;
}

std::int32_t CodeOutcome(ui::TMainForm& form, const discovery::DeviceRecord& device) {
  return SameText(form, form.BatchIdCode, device.idCode) ? kCodeMatches : kCodeDiffers;
}

// Writes BatchIdCode into the device at `index` and reads it back.
std::int32_t SetIdCode(ui::TMainForm& form, int index) {
  form.ComboBox1.SetSelectedIndex(index);
  form.ComboBox1Change();
  // Unchanged: the normalisation of leaving the box is the user's, not ours.
  form.Edit1.SetText(form.BatchIdCode);
  form.Button3Click();
  for (int rescan = 0; rescan < kRescans; ++rescan) {
    form.Services().platform.clock->SleepMs(kRescanWaitMs);
    form.Button1Click();
    if (const auto device = FirstMatchingDevice(form, nullptr)) return CodeOutcome(form, *device);
  }
  return kDeviceGone;
}

}  // namespace

std::int32_t RunCommandLine(ui::TMainForm& form) {
  form.PrepareWork();
  int index = -1;
  const auto device = FirstMatchingDevice(form, &index);
  if (!device) {
    form.BatchExitCode = kNoDevice;
  } else if (form.BatchMode == kCheckMode) {
    form.BatchExitCode = CodeOutcome(form, *device);
  } else {
    form.BatchExitCode = SetIdCode(form, index);
  }
  return -1;
}

std::int32_t CarryOutCommandLineRun(ui::TMainForm& form, const CommandLineValues& values,
                                    const std::function<void()>& reportException) {
  form.BatchIdCode = values.idCode;
  form.BatchProductName = values.productName;
  form.BatchMode = values.mode;
  std::exception_ptr runFailure;
  try {
    RunCommandLine(form);
  } catch (...) {
    runFailure = std::current_exception();
    form.BatchExitCode = kRunFailed;
  }
  // The clean-up comes before any box: a box waits for an operator, and a
  // line that kills the process meanwhile must not leave the spooler
  // stopped or the library on disk.
  std::exception_ptr cleanUpFailure;
  try {
    form.FormClose();
  } catch (...) {
    cleanUpFailure = std::current_exception();
  }
  for (const std::exception_ptr& failure : {runFailure, cleanUpFailure}) {
    if (!failure) continue;
    try {
      std::rethrow_exception(failure);
    } catch (...) {
      reportException();
    }
  }
  return form.BatchExitCode;
}

}  // namespace nolpa::app
