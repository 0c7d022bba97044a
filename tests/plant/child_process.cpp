#include "tests/plant/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace nolpa::tests::plant {

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& err) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(o, 1);
  dup2(e, 2);
  std::vector<char*> words;
  for (const std::string& w : argv) words.push_back(const_cast<char*>(w.c_str()));
  words.push_back(nullptr);
  execv(words[0], words.data());
  _exit(127);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

Finished RunProgram(const std::vector<std::string>& argv, int seconds) {
  char folder[] = "/tmp/nolpa-run-XXXXXX";
  const std::string dir = mkdtemp(folder);
  Finished f;
  {
    Child child(argv, dir + "/out");
    if (!child.Wait(seconds, &f.exitCode)) child.Kill();
  }
  f.out = Slurp(dir + "/out");
  f.err = Slurp(dir + "/out.err");
  std::remove((dir + "/out").c_str());
  std::remove((dir + "/out.err").c_str());
  rmdir(dir.c_str());
  return f;
}

Child::Child(const std::vector<std::string>& argv, const std::string& outPath)
    : pid_(Spawn(argv, outPath, outPath + ".err")) {}

Child::~Child() {
  if (pid_ > 0) Kill();
}

void Child::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, &status_, 0);
  pid_ = -1;
}

bool Child::Running() {
  if (pid_ <= 0) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
  return pid_ > 0;
}

bool Child::Wait(int seconds, int* exitCode) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (Running()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  *exitCode = ExitCodeOf(status_);
  return true;
}

}  // namespace nolpa::tests::plant
