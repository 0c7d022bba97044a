#pragma once
// What the program reads about itself: a resource of its own module, the
// path of its executable, and values of INI files. Paths are UTF-8, so the
// program's folder may be named in any script; INI values are 8-bit text in
// the system's ANSI code page, as the device texts they are compared with.
// Real implementation: FindResourceA / LoadResource / LockResource /
// SizeofResource, GetModuleFileNameW, GetPrivateProfileStringW.
#include <cstdint>
#include <string>
#include <vector>

namespace nolpa::platform {

class ProgramFiles {
 public:
  virtual ~ProgramFiles() = default;

  // The bytes of the program's own resource `name` of type RCDATA (10),
  // language-neutral. False when there is no such resource.
  virtual bool RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) = 0;

  // The full path of the program's executable file, in UTF-8; empty on
  // failure.
  virtual std::string ExecutablePath() = 0;

  // GetPrivateProfileString(section, key, fallback, ..., file): the value of
  // `key` in `section` of the INI file `file` (a UTF-8 path), or `fallback`
  // when the file, the section or the key is missing. A key present with an
  // empty value gives the empty text. Values longer than 2047 bytes are cut
  // there.
  virtual std::string IniString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& fallback) = 0;
};

}  // namespace nolpa::platform
