#pragma once
// A failure injector: decorators over the platform interfaces the program
// uses, sharing one request counter, that make the N-th failable request of
// a path fail the way its interface documents a failure (false, an invalid
// handle, 0, null) without passing it on, and hand every other request to
// the wrapped implementation. Releases (Close, CloseSet, ReleaseFile, Free,
// CloseServiceHandle) are passed on uncounted: a release that fails leaves
// nothing the program could do, and not passing it on would make the
// simulator report a leak that is the injector's own.
#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace nolpa::testing {

class FaultCounter {
 public:
  // Counts from 0 again; request `failAt` (1-based) fails, 0: none does.
  void Arm(std::size_t failAt) { Start(failAt, 0); }
  // Counts from 0 again; no request fails, but device write `shortAt`
  // (1-based) goes out short: it reports success with fewer bytes written.
  void ArmShortWrite(std::size_t shortAt) { Start(0, shortAt); }
  void Disarm() { armed_ = false; }
  // True when this request is the one to fail.
  bool Fails(const char* request) {
    if (!armed_) return false;
    if (++count_ != failAt_) return false;
    injected_ = request;
    return true;
  }
  // Asked by every device write that does not fail: true when it is the one
  // to go out short.
  bool ShortWrite() {
    if (!armed_ || ++writes_ != shortAt_) return false;
    injected_ = kShortWrite;
    return true;
  }
  static constexpr char kShortWrite[] = "DeviceFiles::Write (short)";
  std::size_t Count() const { return count_; }
  // The device writes made so far (failed ones not counted).
  std::size_t Writes() const { return writes_; }
  // The request that was made to fail; empty when none was.
  const std::string& Injected() const { return injected_; }

 private:
  void Start(std::size_t failAt, std::size_t shortAt) {
    armed_ = true;
    count_ = writes_ = 0;
    failAt_ = failAt;
    shortAt_ = shortAt;
    injected_.clear();
  }

  bool armed_ = false;
  std::size_t count_ = 0;
  std::size_t failAt_ = 0;
  std::size_t writes_ = 0;
  std::size_t shortAt_ = 0;
  std::string injected_;
};

class FailingDeviceFiles final : public platform::DeviceFiles {
 public:
  FailingDeviceFiles(platform::DeviceFiles& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  platform::DeviceHandle Open(const std::string& path) override {
    return c_.Fails("DeviceFiles::Open") ? platform::kInvalidDeviceHandle : inner_.Open(path);
  }
  bool Read(platform::DeviceHandle h, void* buffer, std::uint32_t size,
            std::uint32_t* done) override {
    if (!c_.Fails("DeviceFiles::Read")) return inner_.Read(h, buffer, size, done);
    if (done) *done = 0;
    return false;
  }
  bool Write(platform::DeviceHandle h, const void* data, std::uint32_t size,
             std::uint32_t* done) override {
    if (c_.Fails("DeviceFiles::Write")) {
      if (done) *done = 0;
      return false;
    }
    if (!c_.ShortWrite()) return inner_.Write(h, data, size, done);
    // The device takes the first half (nothing of a single byte) and the
    // call succeeds: not an error, only a count below the size.
    const std::uint32_t part = size / 2;
    std::uint32_t passed = 0;
    const bool ok = part == 0 || inner_.Write(h, data, part, &passed);
    if (done) *done = passed;
    return ok;
  }
  bool IoControl(platform::DeviceHandle h, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (!c_.Fails("DeviceFiles::IoControl"))
      return inner_.IoControl(h, code, in, inSize, out, outSize, returned);
    if (returned) *returned = 0;
    return false;
  }
  bool SetTimeouts(platform::DeviceHandle h, const platform::CommTimeouts& t) override {
    return c_.Fails("DeviceFiles::SetTimeouts") ? false : inner_.SetTimeouts(h, t);
  }
  void Close(platform::DeviceHandle h) override { inner_.Close(h); }

 private:
  platform::DeviceFiles& inner_;
  FaultCounter& c_;
};

class FailingDeviceInterfaces final : public platform::DeviceInterfaces {
 public:
  FailingDeviceInterfaces(platform::DeviceInterfaces& inner, FaultCounter& c)
      : inner_(inner), c_(c) {}
  platform::InterfaceSet OpenSet(const platform::Guid& g) override {
    return c_.Fails("DeviceInterfaces::OpenSet") ? platform::kInvalidInterfaceSet
                                                 : inner_.OpenSet(g);
  }
  bool InterfacePath(platform::InterfaceSet set, const platform::Guid& g, std::uint32_t index,
                     std::string* path) override {
    return c_.Fails("DeviceInterfaces::InterfacePath") ? false
                                                       : inner_.InterfacePath(set, g, index, path);
  }
  bool HasInterface(platform::InterfaceSet set, const platform::Guid& g,
                    std::uint32_t index) override {
    return c_.Fails("DeviceInterfaces::HasInterface") ? false : inner_.HasInterface(set, g, index);
  }
  void CloseSet(platform::InterfaceSet set) override { inner_.CloseSet(set); }

 private:
  platform::DeviceInterfaces& inner_;
  FaultCounter& c_;
};

class FailingDosDevices final : public platform::DosDevices {
 public:
  FailingDosDevices(platform::DosDevices& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  bool QueryTarget(const std::string& name, std::string* target) override {
    return c_.Fails("DosDevices::QueryTarget") ? false : inner_.QueryTarget(name, target);
  }

 private:
  platform::DosDevices& inner_;
  FaultCounter& c_;
};

class FailingServiceManager final : public platform::ServiceManager {
 public:
  FailingServiceManager(platform::ServiceManager& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  platform::ServiceHandle OpenManager(std::uint32_t access) override {
    return c_.Fails("ServiceManager::OpenManager") ? platform::kNoServiceHandle
                                                   : inner_.OpenManager(access);
  }
  platform::ServiceHandle OpenServiceNamed(platform::ServiceHandle m, const std::string& name,
                                           std::uint32_t access) override {
    return c_.Fails("ServiceManager::OpenServiceNamed") ? platform::kNoServiceHandle
                                                        : inner_.OpenServiceNamed(m, name, access);
  }
  bool QueryState(platform::ServiceHandle s, std::uint32_t* state) override {
    return c_.Fails("ServiceManager::QueryState") ? false : inner_.QueryState(s, state);
  }
  bool SendControl(platform::ServiceHandle s, std::uint32_t control) override {
    return c_.Fails("ServiceManager::SendControl") ? false : inner_.SendControl(s, control);
  }
  bool Start(platform::ServiceHandle s) override {
    return c_.Fails("ServiceManager::Start") ? false : inner_.Start(s);
  }
  bool Close(platform::ServiceHandle h) override { return inner_.Close(h); }

 private:
  platform::ServiceManager& inner_;
  FaultCounter& c_;
};

class FailingHostFiles final : public platform::HostFiles {
 public:
  FailingHostFiles(platform::HostFiles& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  std::uint32_t TempPath(char* buffer, std::uint32_t size) override {
    return c_.Fails("HostFiles::TempPath") ? 0 : inner_.TempPath(buffer, size);
  }
  bool CreateFolder(const std::string& path) override {
    return c_.Fails("HostFiles::CreateFolder") ? false : inner_.CreateFolder(path);
  }
  bool IsReparsePoint(const std::string& path) override {
    return c_.Fails("HostFiles::IsReparsePoint") ? false : inner_.IsReparsePoint(path);
  }
  bool CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) override {
    return c_.Fails("HostFiles::CreateNewFile") ? false : inner_.CreateNewFile(path, bytes);
  }
  platform::FileHold HoldFile(const std::string& path) override {
    return c_.Fails("HostFiles::HoldFile") ? platform::kNoFileHold : inner_.HoldFile(path);
  }
  bool ReadHeldFile(platform::FileHold hold, std::uint32_t limit,
                    std::vector<std::uint8_t>* bytes) override {
    return c_.Fails("HostFiles::ReadHeldFile") ? false : inner_.ReadHeldFile(hold, limit, bytes);
  }
  void ReleaseFile(platform::FileHold hold) override { inner_.ReleaseFile(hold); }
  bool SetNormalAttributes(const std::string& path) override {
    return c_.Fails("HostFiles::SetNormalAttributes") ? false : inner_.SetNormalAttributes(path);
  }
  bool RemoveFile(const std::string& path) override {
    return c_.Fails("HostFiles::RemoveFile") ? false : inner_.RemoveFile(path);
  }
  bool RemoveFolder(const std::string& path) override {
    return c_.Fails("HostFiles::RemoveFolder") ? false : inner_.RemoveFolder(path);
  }

 private:
  platform::HostFiles& inner_;
  FaultCounter& c_;
};

class FailingModules final : public platform::Modules {
 public:
  FailingModules(platform::Modules& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  platform::ModuleHandle Load(const std::string& path) override {
    return c_.Fails("Modules::Load") ? 0 : inner_.Load(path);
  }
  platform::ExportedFunction Export(platform::ModuleHandle m, const char* name) override {
    return c_.Fails("Modules::Export") ? nullptr : inner_.Export(m, name);
  }
  void Free(platform::ModuleHandle m) override { inner_.Free(m); }

 private:
  platform::Modules& inner_;
  FaultCounter& c_;
};

class FailingProgramFiles final : public platform::ProgramFiles {
 public:
  FailingProgramFiles(platform::ProgramFiles& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  bool RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) override {
    return c_.Fails("ProgramFiles::RcDataResource") ? false : inner_.RcDataResource(name, bytes);
  }
  std::string ExecutablePath() override {
    return c_.Fails("ProgramFiles::ExecutablePath") ? std::string() : inner_.ExecutablePath();
  }
  // A failed read of the file gives the fallback, as a missing file does.
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& fallback) override {
    return c_.Fails("ProgramFiles::IniString") ? fallback
                                               : inner_.IniString(file, section, key, fallback);
  }

 private:
  platform::ProgramFiles& inner_;
  FaultCounter& c_;
};

class FailingTextCompare final : public platform::TextCompare {
 public:
  FailingTextCompare(platform::TextCompare& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  bool EqualIgnoringCase(const std::string& a, const std::string& b) override {
    return c_.Fails("TextCompare::EqualIgnoringCase") ? false : inner_.EqualIgnoringCase(a, b);
  }

 private:
  platform::TextCompare& inner_;
  FaultCounter& c_;
};

// All eight decorators over one platform; Platform() is the decorated set,
// with the clock, message boxes and system information passed as they are.
struct FailingPlatform {
  explicit FailingPlatform(const platform::Platform& p)
      : inner(p),
        files(*p.files, counter),
        interfaces(*p.interfaces, counter),
        dosDevices(*p.dosDevices, counter),
        services(*p.serviceManager, counter),
        hostFiles(*p.hostFiles, counter),
        modules(*p.modules, counter),
        program(*p.program, counter),
        textCompare(*p.textCompare, counter) {}

  platform::Platform Platform() {
    platform::Platform p = inner;
    p.files = &files;
    p.interfaces = &interfaces;
    p.dosDevices = &dosDevices;
    p.serviceManager = &services;
    p.hostFiles = &hostFiles;
    p.modules = &modules;
    p.program = &program;
    p.textCompare = &textCompare;
    return p;
  }

  FaultCounter counter;
  platform::Platform inner;
  FailingDeviceFiles files;
  FailingDeviceInterfaces interfaces;
  FailingDosDevices dosDevices;
  FailingServiceManager services;
  FailingHostFiles hostFiles;
  FailingModules modules;
  FailingProgramFiles program;
  FailingTextCompare textCompare;
};

}  // namespace nolpa::testing
