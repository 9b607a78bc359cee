// The status report's own services on a machine of fakes: its files are the
// deployment fake's, its token the replacement fake's, so that the report and
// SETUP.EXE look at one machine. It holds no operation that could change it.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "fakes/fake_deploy_os.h"
#include "fakes/fake_files.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_replace_os.h"
#include "fakes/fault_plan.h"
#include "status/status_os.h"

namespace qsetup::testing {

class FakeStatusOs : public StatusOs {
 public:
  FakeStatusOs(FakeDeployOs& files, FakeReplaceOs& replace) : files_(files), replace_(replace) {}

  std::string out;          // standard output, as written
  std::string err;          // standard error
  bool out_broken = false;  // standard output cannot be written (a closed pipe)

  std::map<std::string, ServiceQuery> services;  // by name; others are not registered
  RunLockProbe run_lock{RunLockPresence::kNone};
  FaultPlan* faults = nullptr;
  int open_files = 0;

  bool WriteOut(std::string_view text) override {
    if (out_broken || Fails(faults, "WriteOut")) return false;
    out.append(text);
    return true;
  }
  void WriteError(std::string_view text) override { err.append(text); }

  // The ANSI code page is 1252: a byte above 0x7F is the character of that
  // value in Latin-1 (which 1252 agrees with for the letters the tests use).
  std::optional<std::string> AnsiToUtf8(const std::string& text) override {
    if (Fails(faults, "AnsiToUtf8", text)) return std::nullopt;
    std::string utf8;
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        utf8 += c;
      } else {
        utf8 += static_cast<char>(0xC0 | byte >> 6);
        utf8 += static_cast<char>(0x80 | (byte & 0x3F));
      }
    }
    return utf8;
  }

  std::optional<std::string> Utf16ToUtf8(std::u16string_view text) override {
    if (Fails(faults, "Utf16ToUtf8")) return std::nullopt;
    return Utf8(text);
  }

  // The deployment fake's, whose files these are.
  WinError FindPath(const std::string& path) override { return files_.FindPath(path); }

  // As CreateFileA for reading: the same errors as FindPath, and a file that
  // the machine marks unreadable is refused. The files that it opens count
  // here, not among the deployment fake's.
  using StatusOs::OpenForReading;
  ReadableFilePtr OpenForReading(const std::string& path, WinError* error) override {
    const std::string key = files_.Key(path);
    const bool refused = Fails(faults, "OpenForReading", path) || files_.unreadable.count(key) != 0;
    const auto file = files_.files.find(key);
    if (refused || file == files_.files.end()) {
      if (error != nullptr) *error = refused ? kErrorAccessDenied : files_.MissingError(key);
      return nullptr;
    }
    return std::make_unique<FakeReadableFile>(FakeFile{file->second.data, {}, false}, faults,
                                              open_files);
  }

  // As CheckTokenMembership for BUILTIN\Administrators: false in a token
  // that user account control filtered, where the group is for denial only.
  WinError CheckElevated(bool& elevated) override {
    elevated = false;
    if (Fails(faults, "CheckElevated")) return kErrorAccessDenied;
    elevated = !replace_.filtered_token;
    return kErrorSuccess;
  }

  ServiceQuery QueryService(const std::string& name) override {
    if (Fails(faults, "QueryService", name)) return {ServiceState::kNone, kErrorAccessDenied};
    const auto service = services.find(name);
    if (service == services.end()) return {ServiceState::kNone, kErrorServiceDoesNotExist};
    return service->second;
  }

  RunLockProbe FindRunLock() override {
    if (Fails(faults, "FindRunLock")) return {RunLockPresence::kUnknown, kErrorAccessDenied};
    return run_lock;
  }

 private:
  FakeDeployOs& files_;
  FakeReplaceOs& replace_;
};

}  // namespace qsetup::testing
