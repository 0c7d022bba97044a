#include "app/run_command_line.h"

#include <exception>
#include <optional>

namespace nolpa::app {

namespace {

bool SameText(ui::TMainForm& form, const std::string& a, const std::string& b) {
  return form.Services().platform.textCompare->EqualIgnoringCase(a, b);
}

// The first device of the list the command line's product name chooses.
std::optional<discovery::DeviceRecord> FirstMatchingDevice(ui::TMainForm& form,
                                                           const CommandLineValues& values,
                                                           int* index) {
  if (!form.DeviceList || !values.productNameHeld) return std::nullopt;
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

std::int32_t CodeOutcome(ui::TMainForm& form, const CommandLineValues& values,
                         const discovery::DeviceRecord& device) {
  // A code the code page cannot hold is no device's.
  return values.idCodeHeld && SameText(form, form.BatchIdCode, device.idCode) ? kCodeMatches
                                                                              : kCodeDiffers;
}

// The refusal of an ID code the box could not have held, before Write.
std::optional<resources::MessageId> BoxRefusal(ui::TMainForm& form,
                                               const CommandLineValues& values) {
  const bool printerClass = discovery::Contains(form.Label6.Text(), discovery::kPrinterClassMarker);
  if (!values.idCodeHeld)
    return printerClass ? resources::MessageId::IdCodeInvalidHex
                        : resources::MessageId::IdCodeInvalid;
  if (!printerClass && form.BatchIdCode.size() > kIdBoxCharacters)
    return resources::MessageId::IdCodeTooLong;
  return std::nullopt;
}

// Refused as Write refuses: its error box, its line in the log, no Find.
void Refuse(ui::TMainForm& form, int index, const CommandLineValues& values,
            platform::TextEncoding* encoding, resources::MessageId id) {
  form.ShowMessage(id);
  ident::WriteAudit* audit = form.Services().writeAudit;
  if (audit == nullptr || !audit->Ready()) return;
  ident::WriteAttempt attempt{
      discovery::Contains(form.Label6.Text(), discovery::kPrinterClassMarker),
      form.DeviceList->Record(static_cast<std::size_t>(index)),
      form.BatchIdCode,
      form.Edit2.Text(),
      ident::WriteResult::Refused,
      id};
  if (encoding != nullptr) {
    // The log holds what the user gave, also what no code page holds.
    attempt.idCode =
        values.idCodeHeld ? encoding->AnsiToUtf8(form.BatchIdCode) : values.idCodeGiven;
    attempt.idName = encoding->AnsiToUtf8(attempt.idName);
    attempt.valuesUtf8 = true;
  }
  audit->Record(attempt);
}

// Writes BatchIdCode into the device at `index` and reads it back.
std::int32_t SetIdCode(ui::TMainForm& form, int index, const CommandLineValues& values,
                       platform::TextEncoding* encoding) {
  form.ComboBox1.SetSelectedIndex(index);
  form.ComboBox1Change();
  // Unchanged: the normalisation of leaving the box is the user's, not ours.
  form.Edit1.SetText(form.BatchIdCode);
  if (const auto refusal = BoxRefusal(form, values)) {
    Refuse(form, index, values, encoding, *refusal);
  } else {
    form.Button3Click();
  }
  for (int rescan = 0; rescan < kRescans; ++rescan) {
    form.Services().platform.clock->SleepMs(kRescanWaitMs);
    form.Button1Click();
    if (const auto device = FirstMatchingDevice(form, values, nullptr))
      return CodeOutcome(form, values, *device);
  }
  return kDeviceGone;
}

}  // namespace

std::int32_t RunCommandLine(ui::TMainForm& form) {
  CommandLineValues values;
  values.idCode = form.BatchIdCode;
  return RunCommandLine(form, values, nullptr);
}

std::int32_t RunCommandLine(ui::TMainForm& form, const CommandLineValues& values,
                            platform::TextEncoding* encoding) {
  form.PrepareWork();
  int index = -1;
  const auto device = FirstMatchingDevice(form, values, &index);
  if (!device) {
    form.BatchExitCode = kNoDevice;
  } else if (form.BatchMode == kCheckMode) {
    form.BatchExitCode = CodeOutcome(form, values, *device);
  } else {
    form.BatchExitCode = SetIdCode(form, index, values, encoding);
  }
  return -1;
}

std::int32_t CarryOutCommandLineRun(ui::TMainForm& form, const CommandLineValues& values,
                                    const std::function<void()>& reportException,
                                    platform::TextEncoding* encoding) {
  form.BatchIdCode = values.idCode;
  form.BatchProductName = values.productName;
  form.BatchMode = values.mode;
  std::exception_ptr runFailure;
  try {
    RunCommandLine(form, values, encoding);
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
