#pragma once
// Programs the plant tests start: the console companion and the station's
// stand-in, each with a deadline, killed when it passes it.
#include <sys/types.h>

#include <string>
#include <vector>

namespace nolpa::tests::plant {

struct Finished {
  int exitCode = -1;  // -1: killed (by the test or its deadline)
  std::string out;
  std::string err;
};

// Runs `argv` to its end or `seconds`, whichever comes first.
Finished RunProgram(const std::vector<std::string>& argv, int seconds = 60);

// A program running on its own, its output going to a file.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::string& outPath);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  void Kill();  // SIGKILL, then reaped
  // Waits up to `seconds` for the end; false when it is still running.
  bool Wait(int seconds, int* exitCode);
  bool Running();

 private:
  pid_t pid_ = -1;
  int status_ = 0;
};

}  // namespace nolpa::tests::plant
