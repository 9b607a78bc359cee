// The cost of a version-stamp comparison against the size of the files
// compared: two 100 KB files, and two sparse 1 GB files, read through POSIX
// files. Both carry their stamp near the end of the examined block, so the
// whole block is searched.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "catalog/messages.h"
#include "console/console.h"
#include "console/null_console_io.h"
#include "deploy/deploy.h"
#include "deploy/version_stamp.h"

namespace qsetup {
namespace {

namespace fs = std::filesystem;

class PosixFile final : public ReadableFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  std::optional<std::uint64_t> Size() override {
    const off_t end = lseek(fd_, 0, SEEK_END);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
  }
  std::size_t Read(char* buffer, std::size_t capacity) override {
    const ssize_t n = read(fd_, buffer, capacity);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
  }

 private:
  int fd_;
};

// Only reading is benchmarked; the other services are not called.
class NoSystemDirectory final : public SystemDirectoryOs {
 public:
  SystemDirectory ReadSystemDirectory() override { return {}; }
  std::string ReadWow64Directory() override { return {}; }
};

class PosixDeployOs final : public DeployOs {
 public:
  WinError FindPath(const std::string& path) override {
    return fs::exists(path) ? kErrorSuccess : kErrorFileNotFound;
  }
  bool SetAttributes(const std::string&, std::uint32_t) override { return false; }
  WinError CopyToNew(const std::string&, const std::string&) override { return kErrorAccessDenied; }
  WinError FlushFile(const std::string&) override { return kErrorAccessDenied; }
  WinError MoveOver(const std::string&, const std::string&) override { return kErrorAccessDenied; }
  void Wait(std::uint32_t) override {}
  bool SameFile(const std::string&, const std::string&) override { return false; }
  ReplaceableTarget CheckReplaceable(const std::string&) override { return {}; }
  WinError ReplaceAtRestart(const std::string&, const std::string&) override {
    return kErrorAccessDenied;
  }
  WinError DeleteAtRestart(const std::string&) override { return kErrorAccessDenied; }
  bool RemoveFile(const std::string&) override { return false; }
  bool MakeDirectory(const std::string&) override { return false; }
  std::vector<FoundFile> FilesStartingWith(const std::string&) override { return {}; }
  std::uint32_t ProcessId() override { return 1; }
  ProcessStatus FindProcess(std::uint32_t) override { return {}; }
  ReadableFilePtr OpenForReading(const std::string& path, WinError* error) override {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (error != nullptr) *error = kErrorFileNotFound;
      return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
  }
};

// A file of `size` bytes, sparse but for the stamp `version` at byte 99000.
std::string MakeStampedFile(const std::string& name, std::uint64_t size,
                            const std::string& version) {
  const fs::path dir = fs::temp_directory_path() / "qsetup-stamp-benchmark";
  fs::create_directories(dir);
  const std::string path = (dir / name).string();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  const std::string stamp = "!@#$" + version + "$#@!";
  const bool ok =
      pwrite(fd, stamp.data(), stamp.size(), 99000) == static_cast<ssize_t>(stamp.size()) &&
      ftruncate(fd, static_cast<off_t>(size)) == 0;
  close(fd);
  if (!ok) throw std::runtime_error("cannot write " + path);
  return path;
}

void CompareFiles(benchmark::State& state) {
  const auto size = static_cast<std::uint64_t>(state.range(0));
  const std::string tag = std::to_string(size);
  const std::string first = MakeStampedFile("first-" + tag, size, "2.1.0");
  const std::string second = MakeStampedFile("second-" + tag, size, "2.0.9");

  PosixDeployOs os;
  NoSystemDirectory system;
  NullConsoleIo io;
  Console console(io);
  const DeployContext ctx{os, system, console, MessageTable(BuiltinMessages()), false};
  for (auto _ : state) {
    const int result = CompareVersionStamps(ctx, first, second);
    if (result != 1) state.SkipWithError("unexpected comparison result");
    benchmark::DoNotOptimize(result);
  }
  state.SetLabel(size >= (1u << 30) ? "1 GB sparse" : "100 KB");
  fs::remove(first);
  fs::remove(second);
}

BENCHMARK(CompareFiles)->Arg(100 * 1024)->Arg(std::int64_t{1} << 30)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qsetup

BENCHMARK_MAIN();
