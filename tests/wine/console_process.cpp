#include "tests/wine/console_process.h"

namespace nolpa::wine_tests {

namespace {

std::wstring WideText(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  return wide;
}

// Reads the pipe to its end into `into`, then closes it.
void Drain(HANDLE pipe, std::string* into) {
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
    into->append(buffer, read);
  CloseHandle(pipe);
}

}  // namespace

ConsoleProcess::ConsoleProcess(const std::string& exePath, const std::string& arguments,
                               const Environment& extra, DWORD flags) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
      !CreatePipe(&errRead, &errWrite, &inherit, 0))
    return;
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  std::wstring commandLine = L"\"" + WideText(exePath) + L"\"";
  if (!arguments.empty()) commandLine += L" " + WideText(arguments);
  std::wstring environment = EnvironmentBlock(extra);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION info{};
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | flags, environment.data(),
                                      nullptr, &startup, &info) != 0;
  // The child holds the writing ends now; ours would keep the pipes open.
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  outputReader_ = std::thread(Drain, outRead, &output_);
  errorReader_ = std::thread(Drain, errRead, &error_);
  if (!started) return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
}

ConsoleProcess::~ConsoleProcess() {
  if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  if (outputReader_.joinable()) outputReader_.join();
  if (errorReader_.joinable()) errorReader_.join();
  if (process_ != nullptr) CloseHandle(process_);
}

std::optional<DWORD> ConsoleProcess::WaitForExit(DWORD timeoutMs) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return {};
  // The pipes end when the last process holding them does.
  if (outputReader_.joinable()) outputReader_.join();
  if (errorReader_.joinable()) errorReader_.join();
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace nolpa::wine_tests
