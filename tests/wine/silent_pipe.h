#pragma once
// A device that never answers: a named pipe whose server end takes every
// connection and then neither reads nor writes, with no buffer, so that a
// client's reads and writes stay pending until they are cancelled. The test
// may still send bytes down the latest connection, and can tell which of
// its clients have closed their end.
#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace nolpa::wine_tests {

class SilentPipe {
 public:
  SilentPipe()
      : path_("\\\\.\\pipe\\nolpa-silent-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount())),
        stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { Serve(); });
    // The first instance is listening before a client can look for it.
    for (int i = 0; i < 200 && !WaitNamedPipeA(path_.c_str(), 0); ++i) Sleep(10);
  }
  ~SilentPipe() {
    SetEvent(stop_);
    thread_.join();
    for (Connection& c : connections_) {
      if (c.sending) CancelIo(c.pipe);
      CloseHandle(c.pipe);
      CloseHandle(c.sent.hEvent);
    }
    CloseHandle(stop_);
  }
  SilentPipe(const SilentPipe&) = delete;
  SilentPipe& operator=(const SilentPipe&) = delete;

  const std::string& Path() const { return path_; }

  int Connections() {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(connections_.size());
  }
  // Connections whose client still holds its end open.
  int OpenClients() {
    const std::lock_guard lock(mutex_);
    int open = 0;
    for (const Connection& c : connections_) {
      DWORD waiting = 0;
      if (PeekNamedPipe(c.pipe, nullptr, 0, nullptr, &waiting, nullptr) ||
          GetLastError() != ERROR_BROKEN_PIPE)
        ++open;
    }
    return open;
  }
  // Starts sending `bytes` down the latest connection; they go as soon as
  // the client reads. False when there is no connection or it is still
  // sending what it was given before.
  bool Send(const std::string& bytes) {
    const std::lock_guard lock(mutex_);
    if (connections_.empty()) return false;
    Connection& c = connections_.back();
    if (c.sending && !HasOverlappedIoCompleted(&c.sent)) return false;
    c.bytes = bytes;
    c.sending = true;
    const BOOL done =
        WriteFile(c.pipe, c.bytes.data(), static_cast<DWORD>(c.bytes.size()), nullptr, &c.sent);
    return done || GetLastError() == ERROR_IO_PENDING;
  }

 private:
  struct Connection {
    HANDLE pipe;
    OVERLAPPED sent;
    std::string bytes;
    bool sending;
  };

  void Serve() {
    OVERLAPPED connect{};
    connect.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
      HANDLE pipe =
          CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                           PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
      if (pipe == INVALID_HANDLE_VALUE) break;
      ResetEvent(connect.hEvent);
      const BOOL now = ConnectNamedPipe(pipe, &connect);
      const bool connected =
          now || GetLastError() == ERROR_PIPE_CONNECTED ||
          (GetLastError() == ERROR_IO_PENDING && WaitForConnection(pipe, connect));
      if (!connected) {
        CloseHandle(pipe);
        break;
      }
      const std::lock_guard lock(mutex_);
      connections_.push_back({pipe, OVERLAPPED{}, {}, false});
      connections_.back().sent.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    CloseHandle(connect.hEvent);
  }

  // True when a client connected before the pipe was told to stop.
  bool WaitForConnection(HANDLE pipe, OVERLAPPED& connect) {
    const HANDLE events[] = {connect.hEvent, stop_};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) return true;
    CancelIo(pipe);
    DWORD ignored = 0;
    GetOverlappedResult(pipe, &connect, &ignored, TRUE);
    return false;
  }

  std::string path_;
  HANDLE stop_;
  std::mutex mutex_;
  // A deque keeps each pending send's OVERLAPPED where the system holds it.
  std::deque<Connection> connections_;
  std::thread thread_;
};

}  // namespace nolpa::wine_tests
