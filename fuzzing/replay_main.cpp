// Replays fuzz corpora without libFuzzer, in the native tree: each file
// named (or each file of a folder named, in name order) is handed once to
// the target's entry point. A broken invariant or a sanitizer report ends
// the run as it would end a fuzzing run.
//   fuzz_replay TARGET PATH...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/replay_targets.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& path) {
  std::vector<fs::path> inputs;
  if (fs::is_directory(path)) {
    for (const auto& entry : fs::directory_iterator(path))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
  } else if (fs::is_regular_file(path)) {
    inputs.push_back(path);
  }
  return inputs;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TARGET PATH...\n", argv[0]);
    return 2;
  }
  const auto* target =
      std::find_if(std::begin(nolpa::fuzz::kReplayTargets), std::end(nolpa::fuzz::kReplayTargets),
                   [&](const auto& t) { return std::strcmp(t.name, argv[1]) == 0; });
  if (target == std::end(nolpa::fuzz::kReplayTargets)) {
    std::fprintf(stderr, "no fuzz target named %s\n", argv[1]);
    return 2;
  }
  int replayed = 0;
  for (int i = 2; i < argc; ++i) {
    for (const fs::path& input : InputsOf(argv[i])) {
      const std::vector<std::uint8_t> bytes = ReadAll(input);
      std::fprintf(stderr, "%s\n", input.filename().c_str());
      // A null pointer for an empty input, as libFuzzer may pass one.
      target->run(bytes.empty() ? nullptr : bytes.data(), bytes.size());
      ++replayed;
    }
  }
  // An empty corpus would pass without testing anything.
  std::printf("%s: replayed %d inputs\n", target->name, replayed);
  return replayed > 0 ? 0 : 1;
}
