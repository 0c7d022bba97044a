// The programs run from folders of their own: a program folder and a
// temporary folder named in scripts outside the ANSI code page work (the
// library is written out and loaded, the INI file beside the program is
// read); and system libraries planted under their names beside the program,
// or in the work folder, are never loaded.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/program_fixture.h"
#include "tests/wine/sim_state.h"

namespace nolpa::wine_tests {
namespace {

std::string Utf8(const std::wstring& text) {
  std::string utf8(text.size() * 4 + 1, '\0');
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  return utf8;
}

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp, length);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                        static_cast<int>(prefix.size()), prefix.c_str(),
                        static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// The full paths of the modules loaded in a process.
std::vector<std::wstring> LoadedModules(DWORD processId) {
  std::vector<std::wstring> paths;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return paths;
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module))
    paths.emplace_back(module.szExePath);
  CloseHandle(snapshot);
  return paths;
}

// A folder tree of the test's own under the temporary folder: what the
// test puts in it is removed afterwards, folders last.
class Scratch {
 public:
  explicit Scratch(const std::wstring& name)
      : root_(TempFolder() + name + std::to_wstring(GetCurrentProcessId())) {
    Folder(L"");
  }
  ~Scratch() {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
      SetFileAttributesW(it->c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(it->c_str());
    }
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::wstring Folder(const std::wstring& relative) {
    std::wstring path = relative.empty() ? root_ : root_ + L"\\" + relative;
    CreateDirectoryW(path.c_str(), nullptr);
    folders_.push_back(path);
    return path;
  }
  // Notes a file to remove, whoever makes it.
  std::wstring File(const std::wstring& path) {
    files_.push_back(path);
    return path;
  }
  bool Copy(const std::string& from, const std::wstring& to) {
    return CopyFileW(Widen(from.c_str()).c_str(), File(to).c_str(), FALSE) != FALSE;
  }

 private:
  std::wstring root_;
  std::vector<std::wstring> folders_;
  std::vector<std::wstring> files_;
};

// Cyrillic and Japanese: outside the ANSI code page of an English system.
constexpr wchar_t kProgramFolderName[] =
    L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430 \u30D7\u30EA\u30F3\u30BF";
constexpr wchar_t kTempFolderName[] =
    L"\u0412\u0440\u0435\u043C\u0435\u043D\u043D\u0430\u044F \u4E00\u6642";

class ProgramFolderTest : public ProgramTest {
 protected:
  void TearDown() override {
    // The program ends before its folders are removed.
    ProgramTest::TearDown();
    scratch_.reset();
  }
  std::unique_ptr<Scratch> scratch_;
  SimState state_;
};

// True when `text` has characters the ANSI code page cannot hold: the
// ANSI calls would see "?" in their place.
bool OutsideAnsiCodePage(const wchar_t* text) {
  char narrow[256];
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow, sizeof narrow, nullptr,
                      &lost);
  return lost != FALSE;
}

TEST_F(ProgramFolderTest, FoldersNamedInAnotherScriptWork) {
  ASSERT_TRUE(OutsideAnsiCodePage(kProgramFolderName));
  ASSERT_TRUE(OutsideAnsiCodePage(kTempFolderName));
  scratch_ = std::make_unique<Scratch>(L"nolpa-wide-");
  const std::wstring programFolder = scratch_->Folder(kProgramFolderName);
  const std::wstring temp = scratch_->Folder(kTempFolderName) + L"\\";
  const std::wstring program = programFolder + L"\\NOLPAID-sim.exe";
  ASSERT_TRUE(scratch_->Copy(ProgramPath(kSimProgram), program));
  // The other maker's printer of the default fleet, named as an extra model.
  const std::string ini = "[AddDevice]\r\n1=QF-90\r\n";
  HANDLE file = CreateFileW(scratch_->File(programFolder + L"\\NOLPAID-sim.ini").c_str(),
                            GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
  CloseHandle(file);
  // Made beforehand so that it is removed afterwards whatever happens; the
  // program takes a folder that is there already.
  scratch_->Folder(std::wstring(kTempFolderName) + L"\\NOLPAID");
  const std::wstring library = scratch_->File(temp + L"NOLPAID\\Morvalib.dll");
  Environment env = state_.Env();
  env.emplace_back("TMP", Utf8(temp));
  env.emplace_back("TEMP", Utf8(temp));

  ASSERT_NO_FATAL_FAILURE(StartAt(Utf8(program), "", env));
  EXPECT_EQ(WaitForMessageBox(Run().ProcessId(), 0), nullptr) << "an exception box at start-up";
  EXPECT_TRUE(Exists(library));
  const auto modules = LoadedModules(Run().ProcessId());
  EXPECT_NE(std::find_if(modules.begin(), modules.end(),
                         [&](const std::wstring& m) { return SamePath(m, library); }),
            modules.end())
      << "the library was not loaded from the temporary folder";
  const auto items = Window().Items(ui::ControlId::ComboBox1);
  EXPECT_NE(std::find(items.begin(), items.end(), L"QF-90 Office"), items.end())
      << "the INI file beside the program was not read";

  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(library));
  EXPECT_FALSE(Exists(temp + L"NOLPAID"));
}

TEST_F(ProgramFolderTest, SystemLibrariesPlantedBesideTheProgramAreNeverLoaded) {
  scratch_ = std::make_unique<Scratch>(L"nolpa-planted-");
  const std::wstring programFolder = scratch_->Folder(L"program");
  const std::wstring temp = scratch_->Folder(L"temp") + L"\\";
  const std::wstring work = scratch_->Folder(L"temp\\NOLPAID");
  const std::wstring program = programFolder + L"\\NOLPAID.exe";
  ASSERT_TRUE(scratch_->Copy(ProgramPath(kRealProgram), program));
  std::vector<std::wstring> planted;
  for (const wchar_t* name : {L"winspool.drv", L"setupapi.dll", L"cfgmgr32.dll"}) {
    for (const std::wstring& folder : {programFolder, work}) {
      planted.push_back(folder + L"\\" + name);
      ASSERT_TRUE(scratch_->Copy(NOLPA_PLANTED_LIBRARY, planted.back()));
      scratch_->File(planted.back() + L".loaded");
    }
  }
  scratch_->File(work + L"\\Morvalib.dll");
  Environment env{{"TMP", Utf8(temp)}, {"TEMP", Utf8(temp)}};

  ASSERT_NO_FATAL_FAILURE(StartAt(Utf8(program), "", env));
  wchar_t system[MAX_PATH];
  const std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));
  bool setupFromSystem = false;
  for (const std::wstring& module : LoadedModules(Run().ProcessId())) {
    SCOPED_TRACE(Utf8(module));
    const bool own = SamePath(module, program) || SamePath(module, work + L"\\Morvalib.dll");
    EXPECT_TRUE(own || (!StartsWith(module, programFolder) && !StartsWith(module, work)))
        << "loaded from a folder anyone may write";
    setupFromSystem = setupFromSystem || SamePath(module, systemFolder + L"\\setupapi.dll");
  }
  EXPECT_TRUE(setupFromSystem) << "Find ran without the system's setup library";
  for (const std::wstring& path : planted) EXPECT_FALSE(Exists(path + L".loaded")) << Utf8(path);
  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace nolpa::wine_tests
