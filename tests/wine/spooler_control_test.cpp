// ControlSpooler through the real service manager, on Wine's own "spooler"
// service, with the service's state read back straight through the service
// API. Every test leaves the spooler running.
#include <windows.h>

#include <gtest/gtest.h>

#include "ident/spooler_control.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_service_manager.h"

namespace nolpa {
namespace {

using platform::ServiceHandle;

// The real adapter, counting what goes through it.
class CountingServiceManager final : public platform::ServiceManager {
 public:
  int calls = 0;
  int opened = 0;
  int closed = 0;

  ServiceHandle OpenManager(std::uint32_t access) override {
    return Opened(real_.OpenManager(access));
  }
  ServiceHandle OpenServiceNamed(ServiceHandle manager, const std::string& name,
                                 std::uint32_t access) override {
    return Opened(real_.OpenServiceNamed(manager, name, access));
  }
  bool QueryState(ServiceHandle service, std::uint32_t* state) override {
    ++calls;
    return real_.QueryState(service, state);
  }
  bool SendControl(ServiceHandle service, std::uint32_t control) override {
    ++calls;
    return real_.SendControl(service, control);
  }
  bool Start(ServiceHandle service) override {
    ++calls;
    return real_.Start(service);
  }
  bool Close(ServiceHandle handle) override {
    ++calls;
    const bool ok = real_.Close(handle);
    closed += ok ? 1 : 0;
    return ok;
  }

 private:
  ServiceHandle Opened(ServiceHandle handle) {
    ++calls;
    opened += handle != platform::kNoServiceHandle ? 1 : 0;
    return handle;
  }
  platform::win32::Win32ServiceManager real_;
};

// The spooler's state as the service API reports it; 0 when it cannot be read.
DWORD SpoolerState() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return 0;
  SC_HANDLE service = OpenServiceA(manager, "spooler", SERVICE_QUERY_STATUS | SERVICE_START);
  SERVICE_STATUS status{};
  DWORD state = 0;
  if (service != nullptr && QueryServiceStatus(service, &status)) state = status.dwCurrentState;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return state;
}

void StartSpooler() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return;
  SC_HANDLE service = OpenServiceA(manager, "spooler", SERVICE_START);
  if (service != nullptr) {
    StartServiceA(service, 0, nullptr);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

// Starts the spooler when it is stopped and waits, at most `deadlineMs`,
// until it runs.
bool SpoolerRunsWithin(DWORD deadlineMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD state = SpoolerState();
    if (state == SERVICE_RUNNING) return true;
    if (GetTickCount() - start > deadlineMs) return false;
    if (state == SERVICE_STOPPED) StartSpooler();
    Sleep(100);
  }
}

constexpr DWORD kSettleMs = 15000;

class SpoolerControlOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SpoolerRunsWithin(kSettleMs)) << "Wine's spooler service does not run";
    p_.clock = &clock_;
    p_.serviceManager = &services_;
  }
  void TearDown() override { EXPECT_TRUE(SpoolerRunsWithin(kSettleMs)); }

  platform::win32::Win32Clock clock_;
  CountingServiceManager services_;
  platform::Platform p_;
};

TEST_F(SpoolerControlOnWine, StopsTheSpoolerAndStartsItAgain) {
  ASSERT_EQ(ident::ControlSpooler(p_, 1), 1);
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
  // Already stopped: nothing more to do.
  EXPECT_EQ(ident::ControlSpooler(p_, 1), 1);
  ASSERT_EQ(ident::ControlSpooler(p_, 0), 1);
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  // Manager and service opened on each of the three calls, and all closed.
  EXPECT_EQ(services_.opened, 6);
  EXPECT_EQ(services_.closed, 6);
}

TEST_F(SpoolerControlOnWine, OtherModesLeaveTheServiceManagerAlone) {
  EXPECT_EQ(ident::ControlSpooler(p_, 2), 0);
  EXPECT_EQ(ident::ControlSpooler(p_, -1), 0);
  EXPECT_EQ(services_.calls, 0);
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

}  // namespace
}  // namespace nolpa
