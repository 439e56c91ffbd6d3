// Replays every stored fuzz input (the seed corpus and the regression inputs
// of crashes found by `make fuzz`) through the same target functions in the
// ordinary build. A broken property aborts the run after the input's name.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int ReplayFolder(const FuzzTarget& target, const fs::path& folder) {
  if (!fs::is_directory(folder)) return 0;
  int replayed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::vector<uint8_t> bytes = ReadAll(entry.path());
    std::fprintf(stderr, "replay %s %s\n", target.name, entry.path().filename().c_str());
    target.run(bytes.data(), bytes.size());
    ++replayed;
  }
  return replayed;
}

TEST(FuzzReplay, EveryStoredInputOfEveryTarget) {
  const fs::path root = fs::path(AMBREL_SOURCE_DIR) / "fuzz";
  for (const FuzzTarget& target : kFuzzTargets) {
    int seeds = ReplayFolder(target, root / "corpus" / target.name);
    ReplayFolder(target, root / "regressions" / target.name);
    EXPECT_GT(seeds, 0) << target.name << " has no seed inputs";
  }
}

}  // namespace
