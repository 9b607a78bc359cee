#include "e2e/wine_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/ascii.h"

extern char** environ;

namespace qsetup::e2e {
namespace {

namespace fs = std::filesystem;

std::string RequiredEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(name) + " is not set; run the tests through ctest");
  }
  return value;
}

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  env["WINEDEBUG"] = "-all";
  env["WINEDLLOVERRIDES"] = "mscoree,mshtml,winemenubuilder.exe=";
  env.erase("DISPLAY");
  env.erase("WAYLAND_DISPLAY");
  for (const auto& [k, v] : extra) env[k] = v;
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k + "=" + v);
  return out;
}

struct Child {
  pid_t pid = -1;
  int in = -1, out = -1, err = -1;
};

Child Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            bool want_stdin, const std::string& cwd) {
  int in_pipe[2] = {-1, -1}, out_pipe[2], err_pipe[2];
  if ((want_stdin && pipe2(in_pipe, O_CLOEXEC) != 0) || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (want_stdin) {
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_strings = MergedEnvironment(env);
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);  // kill the whole group on timeout
  posix_spawnattr_setpgroup(&attr, 0);

  Child child;
  const int rc = posix_spawnp(&child.pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (want_stdin) close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  child.in = want_stdin ? in_pipe[1] : -1;
  child.out = out_pipe[0];
  child.err = err_pipe[0];
  return child;
}

// Reads what `fd` holds now, without waiting, into `sink`; closes it and
// sets it to -1.
void Drain(int& fd, std::string& sink) {
  if (fd == -1) return;
  fcntl(fd, F_SETFL, O_NONBLOCK);
  char buffer[4096];
  for (ssize_t r; (r = read(fd, buffer, sizeof buffer)) > 0;) {
    sink.append(buffer, static_cast<std::size_t>(r));
  }
  close(fd);
  fd = -1;
}

// Feeds stdin, collects stdout and stderr, and waits for the child. Output
// ends when the child has ended, even if the pipes stay open: Wine's desktop
// process, started by the first program that needs it, keeps the standard
// handles of that program for as long as any program uses the desktop.
int Communicate(Child& child, const std::string& input, std::string& out, std::string& err,
                int timeout_seconds) {
  std::size_t written = 0;
  if (child.in != -1 && input.empty()) {
    close(child.in);
    child.in = -1;
  }
  if (child.in != -1) fcntl(child.in, F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  bool timed_out = false;
  bool ended = false;
  int status = 0;
  while (child.out != -1 || child.err != -1) {
    if (waitpid(child.pid, &status, WNOHANG) == child.pid) {
      ended = true;
      Drain(child.out, out);
      Drain(child.err, err);
      break;
    }
    pollfd fds[3];
    int n = 0;
    if (child.out != -1) fds[n++] = {child.out, POLLIN, 0};
    if (child.err != -1) fds[n++] = {child.err, POLLIN, 0};
    if (child.in != -1) fds[n++] = {child.in, POLLOUT, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    // Wakes now and then to see whether the child has ended.
    const int wait = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 100));
    if (poll(fds, static_cast<nfds_t>(n), wait) < 0) continue;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == child.in) {
        const ssize_t w = write(child.in, input.data() + written, input.size() - written);
        if (w > 0) written += static_cast<std::size_t>(w);
        if (w < 0 || written == input.size()) {
          close(child.in);
          child.in = -1;
        }
        continue;
      }
      char buffer[4096];
      const ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
      std::string& sink = fds[i].fd == child.out ? out : err;
      if (r > 0) {
        sink.append(buffer, static_cast<std::size_t>(r));
      } else {
        close(fds[i].fd);
        (fds[i].fd == child.out ? child.out : child.err) = -1;
      }
    }
  }
  if (child.in != -1) close(child.in);
  if (timed_out) {
    kill(-child.pid, SIGKILL);
    if (child.out != -1) close(child.out);
    if (child.err != -1) close(child.err);
  }
  if (!ended) waitpid(child.pid, &status, 0);
  if (timed_out || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

RunResult RunWine(const std::string& program, const RunOptions& options) {
  std::vector<std::string> argv = {"wine", program};
  argv.insert(argv.end(), options.args.begin(), options.args.end());
  std::map<std::string, std::string> env = options.env;
  env["WINEPREFIX"] = WinePrefix();
  env.emplace("LC_ALL", "en_US.UTF-8");
  Child child = Spawn(argv, env, options.stdin_data.has_value(), options.cwd);
  RunResult result;
  result.exit_code = Communicate(child, options.stdin_data.value_or(""), result.out, result.err,
                                 options.timeout_seconds);
  return result;
}

Held::Held(const std::string& fixture, const std::vector<std::string>& args) {
  std::map<std::string, std::string> env;
  env["WINEPREFIX"] = WinePrefix();
  std::vector<std::string> argv = {"wine", FixtureDir() + "/" + fixture + ".exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  Child child = Spawn(argv, env, true, "");
  pid_ = child.pid;
  in_ = child.in;
  close(child.err);
  // The fixture says "held" once the file is open.
  std::string said;
  char buffer[64];
  for (ssize_t r;
       said.find('\n') == std::string::npos && (r = read(child.out, buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<std::size_t>(r));
  }
  close(child.out);
  if (said != "held\n") {
    close(in_);
    waitpid(pid_, nullptr, 0);
    throw std::runtime_error(fixture + " cannot hold what it should: " + said);
  }
}

Held::~Held() {
  close(in_);  // the fixture lets go when its input ends
  waitpid(pid_, nullptr, 0);
}

int RunCommand(const std::vector<std::string>& argv, std::string* out,
               const std::map<std::string, std::string>& env) {
  Child child = Spawn(argv, env, false, "");
  std::string o, e;
  const int rc = Communicate(child, "", o, e, 120);
  if (out != nullptr) *out = o + e;
  return rc;
}

std::string Arch() {
  return RequiredEnv("QSETUP_ARCH");
}
std::string PackageDir() {
  return std::string(QSETUP_E2E_PACKAGE_ROOT) + "/" + Arch();
}
std::string FixtureDir() {
  return std::string(QSETUP_E2E_FIXTURE_ROOT) + "/" + Arch();
}
std::string WinePrefix() {
  return std::string(QSETUP_E2E_PREFIX_ROOT) + "/" + Arch();
}

std::string FreshWorkDir(const std::string& name) {
  const fs::path dir = fs::path(QSETUP_E2E_WORK) / Arch() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

std::string UnixSystemDir() {
  return WinePrefix() +
         (Arch() == "x86" ? "/drive_c/windows/syswow64" : "/drive_c/windows/system32");
}

ServiceKeysLock::ServiceKeysLock()
    : fd_(open((WinePrefix() + "/.qsetup-service-keys.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC,
               0644)) {
  if (fd_ < 0 || flock(fd_, LOCK_EX) != 0) throw std::runtime_error("cannot lock service keys");
}

ServiceKeysLock::~ServiceKeysLock() {
  close(fd_);
}

std::string WindowsPath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void CopyFile(const std::string& from, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::string PathIgnoringCase(const std::string& dir, const std::string& name) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string found = entry.path().filename().string();
    if (EqualsIgnoringAsciiCase(found, name)) {
      return entry.path().string();
    }
  }
  return dir + "/" + name;
}

std::vector<std::string> PendingCopies(const std::string& path) {
  const fs::path target(path);
  const std::string prefix = target.filename().string() + ".~qln2";
  std::vector<std::string> found;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(target.parent_path(), ignored)) {
    const std::string name = entry.path().filename().string();
    if (StartsWithIgnoringAsciiCase(name, prefix)) found.push_back(name);
  }
  return found;
}

bool FileExists(const std::string& path) {
  return fs::exists(path);
}

}  // namespace qsetup::e2e
