// The resources the files carry: version information (every file), the
// manifest and the serial-number library a program writes out at start.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "nolpa_version.h"
#include "tests/wine/programs.h"

namespace nolpa::wine_tests {
namespace {

class ProgramResources : public ::testing::TestWithParam<const char*> {};

std::string StringValue(const std::vector<char>& info, const char* name) {
  // The one string table is the first translation listed.
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &size) ||
      size < sizeof *translation)
    return "<no translation>";
  char path[128];
  wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
            name);
  char* value = nullptr;
  if (!VerQueryValueA(info.data(), path, reinterpret_cast<void**>(&value), &size))
    return "<missing>";
  return value;
}

// The file's version information block; empty when it has none.
std::vector<char> VersionInfo(const char* file) {
  const std::string path = ProgramPath(file);
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &ignored));
  if (!info.empty() &&
      !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
    info.clear();
  return info;
}

TEST_P(ProgramResources, VersionInformationNamesTheProgram) {
  const std::vector<char> info = VersionInfo(GetParam());
  ASSERT_FALSE(info.empty()) << GetParam();

  EXPECT_EQ(StringValue(info, "FileDescription"), "VARDU NOLPA Identifier Utility");
  EXPECT_EQ(StringValue(info, "ProductName"), "VARDU NOLPA Identifier Utility");
  EXPECT_EQ(StringValue(info, "InternalName"), "NOLPAID");
  EXPECT_EQ(StringValue(info, "OriginalFilename"), "NOLPAID");
}

// Every file a release ships says the build's version (the file VERSION):
// 5.0.1 gives 5.0.1.0 in numbers and text, and "5.00" as the product.
class ReleasedFile : public ::testing::TestWithParam<const char*> {};

TEST_P(ReleasedFile, VersionInformationIsTheBuilds) {
  const std::vector<char> info = VersionInfo(GetParam());
  ASSERT_FALSE(info.empty()) << GetParam();

  const WORD version[] = {NOLPA_VERSION_BINARY};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(version[1], version[0]));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(version[3], version[2]));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(StringValue(info, "FileVersion"), NOLPA_FILE_VERSION_TEXT);
  EXPECT_EQ(StringValue(info, "ProductVersion"), NOLPA_PRODUCT_VERSION_TEXT);
  EXPECT_EQ(StringValue(info, "ProductName"), "VARDU NOLPA Identifier Utility");
}

INSTANTIATE_TEST_SUITE_P(EveryFile, ReleasedFile,
                         ::testing::Values(kRealProgram, kSimProgram, "NOLPAIDC.exe",
                                           "NOLPAIDC-sim.exe", "Morvalib.dll", "Morvalib-sim.dll"));

TEST_P(ProgramResources, ManifestAsksForAdministratorAndThemedControls) {
  HMODULE module =
      LoadLibraryExA(ProgramPath(GetParam()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr) << "no application manifest";
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(data, SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find(R"(level="requireAdministrator")"), std::string::npos);
  EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
            std::string::npos);
  EXPECT_NE(manifest.find(R"(publicKeyToken="6595b64144ccf1df")"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothFlavours, ProgramResources,
                         ::testing::Values(kRealProgram, kSimProgram));

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
  return TRUE;
}

// Each program and the library flavour it must carry.
class CarriedLibrary : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(CarriedLibrary, File1IsTheBuiltLibraryByteForByteInNoLanguage) {
  const auto [program, library] = GetParam();
  std::ifstream file(ProgramPath(library), std::ios::binary);
  ASSERT_TRUE(file) << library;
  const std::string built((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  HMODULE module = LoadLibraryExA(ProgramPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, MAKEINTRESOURCEA(10), "FILE1", &CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(10), "FILE1",
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  std::string carried;
  if (found != nullptr)
    carried.assign(static_cast<const char*>(LockResource(LoadResource(module, found))),
                   SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_EQ(languages, std::vector<WORD>{0}) << "one copy, language-neutral";
  ASSERT_NE(found, nullptr) << "no RCDATA resource FILE1";
  EXPECT_EQ(carried.size(), built.size());
  EXPECT_TRUE(carried == built) << program << " carries another image than " << library;
}

INSTANTIATE_TEST_SUITE_P(BothFlavours, CarriedLibrary,
                         ::testing::Values(std::pair{kRealProgram, "Morvalib.dll"},
                                           std::pair{kSimProgram, "Morvalib-sim.dll"}));

}  // namespace
}  // namespace nolpa::wine_tests
