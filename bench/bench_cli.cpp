// quillmora-cli as a whole process: 300 pictures of the start-up formula in
// one render call, from start to exit, with every file written durably.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 300;

int RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), QM_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_RenderBatchOfSamplePictures(benchmark::State& state, const char* extension) {
  std::string pattern = (fs::temp_directory_path() / "qm-bench-cli-XXXXXX").string();
  const fs::path folder = ::mkdtemp(pattern.data());
  const std::string sample = (folder / "s.qmt").string();
  if (RunCli({"sample", sample}) != 0) state.SkipWithError("sample not written");
  std::vector<std::string> args{"render"};
  for (int i = 0; i < kPictures; ++i) {
    args.push_back(sample);
    args.push_back((folder / ("p" + std::to_string(i) + extension)).string());
  }
  for (auto _ : state) {
    if (RunCli(args) != 0) state.SkipWithError("render failed");
  }
  state.SetItemsProcessed(state.iterations() * kPictures);
  fs::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_RenderBatchOfSamplePictures, Png, ".png")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
