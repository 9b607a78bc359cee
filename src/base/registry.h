// The registry as the portable code sees it: keys below HKEY_LOCAL_MACHINE,
// their subkeys and the few kinds of values that the installer reads and
// writes. Statuses are the registry's own (a WinError). A program, or a
// step, that only reads is handed the readers (RegistryReader, and its keys
// RegistryKeyReader), which hold no operation that changes the registry.
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "base/win_errors.h"

namespace qsetup {

// Access rights asked for when a key is opened or created, with the values
// Windows uses.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kDelete = 0x10000;
inline constexpr std::uint32_t kReadControl = 0x20000;
inline constexpr std::uint32_t kWriteDac = 0x40000;
// The 64-bit view of the registry, also for a 32-bit program on 64-bit
// Windows: both architectures of the installer see the same keys. A key
// opened in it keeps its subkeys in it.
inline constexpr std::uint32_t kKey64BitView = 0x0100;

// A value's data, of one of the types that the installer uses.
struct RegistryValue {
  enum class Type { kString, kExpandString, kDword, kQword };
  Type type = Type::kString;
  std::string text;          // kString, kExpandString: in the ANSI code page
  std::uint64_t number = 0;  // kDword, kQword

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// Whether a key that is created outlives the next start of the system.
enum class KeyLifetime { kStored, kVolatile };

class RegistryKeyReader;
class RegistryKey;
class RegistryKeyPtr;

// The owner of an open key that is only read; destroying it closes the key.
using RegistryKeyReaderPtr = std::unique_ptr<RegistryKeyReader>;

// An open registry key that is only read: none of its operations changes the
// registry.
class RegistryKeyReader {
 public:
  virtual ~RegistryKeyReader() = default;

  // Opens the subkey `name` itself with `access` into `key`: a symbolic link
  // is opened as the link, never followed to its target, which may lie
  // anywhere in the registry. Returns the registry status; `key` is set only
  // on success. A RegistryKey opens a RegistryKey.
  virtual WinError OpenSubkey(const std::string& name, std::uint32_t access,
                              RegistryKeyReaderPtr& key) = 0;
  // A reader opens no key that can change the registry.
  WinError OpenSubkey(const std::string& name, std::uint32_t access, RegistryKeyPtr& key) = delete;

  // The name of the subkey at zero-based `index`, read into a 512-byte
  // buffer. kErrorNoMoreItems past the last subkey; kErrorMoreData, with
  // `name` empty, when the name does not fit the buffer (a long name in a
  // multi-byte code page).
  virtual WinError EnumSubkey(std::uint32_t index, std::string& name) = 0;

  // Reads the value `name`: kErrorFileNotFound when there is none,
  // kErrorInvalidData when it is of another type than the four above.
  virtual WinError QueryValue(const std::string& name, RegistryValue& value) = 0;

  // Tells in `granted` whether the key's security gives this process all of
  // `access`, as an open of the key with that access would find, without
  // opening it so. Needs a key opened with kReadControl (kKeyRead has it).
  virtual WinError CheckAccess(std::uint32_t access, bool& granted) = 0;
};

// An open registry key that can also change the registry.
class RegistryKey : public RegistryKeyReader {
 public:
  // As the reader's, into a key that can change the registry too.
  using RegistryKeyReader::OpenSubkey;
  WinError OpenSubkey(const std::string& name, std::uint32_t access, RegistryKeyPtr& key);

  // Opens the subkey `name` with `access`, creating it (and missing keys on
  // its way, each with `lifetime`) when it is not there. `created` tells
  // whether the last key of the path was made. `key` is set only on success.
  virtual WinError CreateSubkey(const std::string& name, std::uint32_t access, KeyLifetime lifetime,
                                RegistryKeyPtr& key, bool& created) = 0;

  // Deletes the subkey `name` itself with its values: a symbolic link as the
  // link, never its target. Fails for a subkey that still has subkeys of its
  // own.
  virtual WinError DeleteSubkey(const std::string& name) = 0;

  // Writes the value `name`.
  virtual WinError SetValue(const std::string& name, const RegistryValue& value) = 0;

  // Asks for the key's DACL with no buffer: kErrorInsufficientBuffer with
  // the size that the DACL needs in `size`, or the failure. (The DACL's
  // reset reads it before it writes another.)
  virtual WinError QueryDaclSize(std::uint32_t& size) = 0;

  // Reads the key's DACL into a process-heap buffer of `size` bytes and
  // releases it again. kErrorNotEnoughMemory when the buffer cannot be had.
  virtual WinError ReadDacl(std::uint32_t size) = 0;

  // Replaces the key's DACL by one that holds a single access-allowed ACE:
  // full control (0xF003F) for BUILTIN\Administrators, no inheritance flags,
  // in an absolute security descriptor. Needs a key opened with kWriteDac.
  // kErrorSuccess when it was written.
  virtual WinError WriteAdministratorsOnlyDacl() = 0;
};

// The owner of an open key that can change the registry: the reader's
// owner, filled only with a RegistryKey (by a RegistryKey or a RegistryOs),
// which it gives as one.
class RegistryKeyPtr : public RegistryKeyReaderPtr {
 public:
  template <std::derived_from<RegistryKey> Key>
  RegistryKeyPtr& operator=(std::unique_ptr<Key>&& key) {
    RegistryKeyReaderPtr::operator=(std::move(key));
    return *this;
  }
  RegistryKey* get() const { return static_cast<RegistryKey*>(RegistryKeyReaderPtr::get()); }
  RegistryKey* operator->() const { return get(); }
  RegistryKey& operator*() const { return *get(); }
};

inline WinError RegistryKey::OpenSubkey(const std::string& name, std::uint32_t access,
                                        RegistryKeyPtr& key) {
  return OpenSubkey(name, access, static_cast<RegistryKeyReaderPtr&>(key));
}

// The registry of a program that only reads it: the one operation that opens
// it, for reading.
class RegistryReader {
 public:
  virtual ~RegistryReader() = default;

  // Opens `path` below HKEY_LOCAL_MACHINE with `access` into `key`, following
  // the system's links on its way (CurrentControlSet). Returns the registry
  // status; `key` is set only on success. A RegistryOs opens a RegistryKey.
  virtual WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                       RegistryKeyReaderPtr& key) = 0;
  // A reader opens no key that can change the registry.
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyPtr& key) = delete;
};

// The one operating-system service that opens the registry, for every
// subsystem of a program that changes it; it reads as a RegistryReader.
class RegistryOs : public RegistryReader {
 public:
  // As the reader's, into a key that can change the registry too.
  using RegistryReader::OpenLocalMachineKey;
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access, RegistryKeyPtr& key) {
    return OpenLocalMachineKey(path, access, static_cast<RegistryKeyReaderPtr&>(key));
  }
};

}  // namespace qsetup
