// The device-file adapter on a device whose driver never completes a
// request (a named pipe nobody serves): every read, write and control
// request ends within its bound, a byte that arrives while a read waits or
// after one was cut off is never lost, and the thread's windows answer the
// messages other threads send them while a call waits.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "platform/device_call_bounds.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "printerio/channel_timeouts.h"
#include "tests/wine/silent_pipe.h"

namespace nolpa::platform::win32 {
namespace {

using wine_tests::SilentPipe;

// Real time of `action`, in ms.
DWORD TimeOf(const std::function<void()>& action) {
  const DWORD start = GetTickCount();
  action();
  return GetTickCount() - start;
}

// Slack for a loaded machine: a call may end this much after its bound.
constexpr DWORD kLateMs = 1500;
// ...and a little before it, on Wine's millisecond clocks.
constexpr DWORD kEarlyMs = 50;

class SilentDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = files_.Open(pipe_.Path());
    ASSERT_NE(handle_, kInvalidDeviceHandle) << pipe_.Path();
  }
  void TearDown() override { files_.Close(handle_); }

  SilentPipe pipe_;
  Win32DeviceFiles files_;
  DeviceHandle handle_ = kInvalidDeviceHandle;
};

struct ReadCase {
  const char* name;
  std::optional<CommTimeouts> timeouts;
  DWORD boundMs;
  std::uint32_t waitMs = 0;  // a read that waits for its bytes (ReadWaiting)
};

TEST_F(SilentDevice, ReadsReturnNoByteWithinTheBoundTheirTimeoutsAsk) {
  const ReadCase cases[] = {
      {"no time-outs set", std::nullopt, kImmediateReadGraceMs},
      // The pipe refuses them, as the printers' drivers do: the same bound.
      {"the channel time-outs, refused", printerio::kChannelTimeouts, kImmediateReadGraceMs},
      {"wait 300 ms for a first byte", CommTimeouts{0xFFFFFFFF, 0xFFFFFFFF, 300, 0, 0}, 300},
      // One request waited on for the whole wait, whatever the time-outs.
      {"waiting 300 ms, no time-outs set", std::nullopt, 300, 300},
      {"waiting 300 ms, the channel time-outs refused", printerio::kChannelTimeouts, 300, 300},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.timeouts) {
      EXPECT_FALSE(files_.SetTimeouts(handle_, *c.timeouts)) << "a pipe took serial time-outs";
    }
    char byte = 0;
    std::uint32_t done = 99;
    bool ok = false;
    const DWORD took = TimeOf([&] {
      ok = c.waitMs == 0 ? files_.Read(handle_, &byte, 1, &done)
                         : files_.ReadWaiting(handle_, &byte, 1, c.waitMs, &done);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(done, 0u);
    EXPECT_GE(took + kEarlyMs, c.boundMs);
    EXPECT_LT(took, c.boundMs + kLateMs);
  }
}

TEST_F(SilentDevice, WritesFailAfterTheBoundTheirTimeoutsGive) {
  const struct {
    const char* name;
    CommTimeouts timeouts;
    DWORD boundMs;
  } cases[] = {
      {"the channel time-outs: 2000 ms", printerio::kChannelTimeouts, 2000},
      {"300 ms", CommTimeouts{0xFFFFFFFF, 0, 0, 0, 300}, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    files_.SetTimeouts(handle_, c.timeouts);
    const char line[] = "VARDU NOLPAID Test Print\n";
    std::uint32_t done = 99;
    bool ok = true;
    const DWORD took = TimeOf([&] { ok = files_.Write(handle_, line, sizeof line, &done); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(done, 0u);
    EXPECT_GE(took + kEarlyMs, c.boundMs);
    EXPECT_LT(took, c.boundMs + kLateMs);
  }
}

TEST_F(SilentDevice, ControlRequestsFailAfterTheirBound) {
  // Waiting for a client on a fresh instance of the pipe: a request that
  // never completes while nobody connects.
  const std::string path = pipe_.Path() + "-listen";
  HANDLE server = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const DWORD listen = CTL_CODE(FILE_DEVICE_NAMED_PIPE, 2, METHOD_BUFFERED, FILE_ANY_ACCESS);
  std::uint32_t returned = 99;
  ControlResult result = ControlResult::Done;
  const DWORD took = TimeOf([&] {
    result = files_.Control(reinterpret_cast<DeviceHandle>(server), listen, nullptr, 0, nullptr, 0,
                            &returned);
  });
  EXPECT_EQ(result, ControlResult::Failed);
  EXPECT_EQ(returned, 0u);
  EXPECT_GE(took + kEarlyMs, kControlBoundMs);
  EXPECT_LT(took, kControlBoundMs + kLateMs);
  CloseHandle(server);
}

TEST_F(SilentDevice, NoByteIsLostToAReadThatWasCutOffOrThatWaits) {
  char bytes[8] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(files_.Read(handle_, bytes, sizeof bytes, &done));
  ASSERT_EQ(done, 0u);
  // Sent after the read was cancelled: the next read has them all.
  ASSERT_TRUE(pipe_.Send("AB"));
  ASSERT_TRUE(files_.Read(handle_, bytes, sizeof bytes, &done));
  EXPECT_EQ(std::string(bytes, done), "AB");

  // Sent while a read waits for a first byte: taken at once.
  files_.SetTimeouts(handle_, CommTimeouts{0xFFFFFFFF, 0xFFFFFFFF, 3000, 0, 0});
  std::thread sender([this] {
    Sleep(200);
    pipe_.Send("Z");
  });
  bool ok = false;
  const DWORD took = TimeOf([&] { ok = files_.Read(handle_, bytes, 1, &done); });
  sender.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(std::string(bytes, done), "Z");
  EXPECT_LT(took, 3000u) << "the read waited out its bound instead of taking the byte";

  // The same for a read that waits on its own (ReadWaiting), a whole
  // transfer's buffer asked for.
  files_.SetTimeouts(handle_, printerio::kChannelTimeouts);
  std::thread late([this] {
    Sleep(200);
    pipe_.Send("YX");
  });
  char transfer[4096] = {};
  const DWORD waited =
      TimeOf([&] { ok = files_.ReadWaiting(handle_, transfer, sizeof transfer, 3000, &done); });
  late.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(std::string(transfer, done), "YX");
  EXPECT_LT(waited, 3000u) << "the read waited out its wait instead of taking the bytes";
}

// A window of this thread that notes the messages it handles.
class NotingWindow {
 public:
  static constexpr UINT kSent = WM_APP + 1;
  static constexpr UINT kPosted = WM_APP + 2;
  NotingWindow() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = &Procedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"NolpaNotingWindow";
    RegisterClassW(&cls);
    hwnd_ = CreateWindowW(L"NolpaNotingWindow", L"", 0, 0, 0, 0, 0, nullptr, nullptr, cls.hInstance,
                          nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~NotingWindow() { DestroyWindow(hwnd_); }
  HWND Handle() const { return hwnd_; }
  std::atomic<int> sent{0};
  std::atomic<int> posted{0};

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<NotingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == kSent) return ++self->sent;
    if (self != nullptr && message == kPosted) return ++self->posted;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
};

TEST_F(SilentDevice, SentMessagesAreAnsweredWhileACallWaitsAndPostedOnesWait) {
  files_.SetTimeouts(handle_, printerio::kChannelTimeouts);
  Win32Clock clock;
  const struct {
    const char* name;
    std::function<void()> wait;
  } cases[] = {
      {"a write that never completes",
       [this] {
         std::uint32_t done = 0;
         files_.Write(handle_, "x", 1, &done);
       }},
      {"a pause", [&clock] { clock.SleepMs(2000); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NotingWindow window;
    PostMessageW(window.Handle(), NotingWindow::kPosted, 0, 0);
    std::atomic<DWORD> answeredAfter{0};
    std::thread other([&] {
      Sleep(300);
      const DWORD start = GetTickCount();
      DWORD_PTR result = 0;
      if (SendMessageTimeoutW(window.Handle(), NotingWindow::kSent, 0, 0, SMTO_NORMAL, 5000,
                              &result) != 0)
        answeredAfter = GetTickCount() - start + 1;
    });
    const DWORD took = TimeOf(c.wait);
    other.join();
    EXPECT_GE(took + kEarlyMs, 2000u);
    EXPECT_EQ(window.sent.load(), 1);
    ASSERT_NE(answeredAfter.load(), 0u) << "the sent message was never answered";
    EXPECT_LT(answeredAfter.load(), 1000u) << "answered only once the wait was over";
    EXPECT_EQ(window.posted.load(), 0) << "a posted message was handled inside the wait";
    MSG message;
    while (PeekMessageW(&message, window.Handle(), 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(window.posted.load(), 1);
  }
}

}  // namespace
}  // namespace nolpa::platform::win32
