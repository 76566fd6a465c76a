// quillmora-cli as a whole process: 300 pictures of the start-up formula in
// one render call, from start to exit, with every file written durably.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 300;

struct TRun {
  int Status = -1;
  double CpuSeconds = 0;  // user and system time of the process and its threads
};

TRun RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), QM_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return {};
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// The counters: the process's CPU time (all its threads) and its wall time
// per batch, and their ratio, which shows how well the cores are used
// (1 / cores at best).
void BM_RenderBatchOfSamplePictures(benchmark::State& state, const char* extension) {
  std::string pattern = (fs::temp_directory_path() / "qm-bench-cli-XXXXXX").string();
  const fs::path folder = ::mkdtemp(pattern.data());
  const std::string sample = (folder / "s.qmt").string();
  if (RunCli({"sample", sample}).Status != 0) state.SkipWithError("sample not written");
  std::vector<std::string> args{"render"};
  for (int i = 0; i < kPictures; ++i) {
    args.push_back(sample);
    args.push_back((folder / ("p" + std::to_string(i) + extension)).string());
  }
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const TRun run = RunCli(args);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += run.CpuSeconds;
    if (run.Status != 0) state.SkipWithError("render failed");
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpu / runs * 1e3;
  state.counters["wall_ms"] = wall / runs * 1e3;
  state.counters["wall/cpu"] = wall / cpu;
  state.SetItemsProcessed(state.iterations() * kPictures);
  fs::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_RenderBatchOfSamplePictures, Png, ".png")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
