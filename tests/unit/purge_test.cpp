#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_replace_os.h"
#include "replace/replace.h"

namespace qsetup {
namespace {

using testing::FakeKey;
using testing::FakeReplaceOs;

constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services\\";

class PurgeTest : public ::testing::Test {
 protected:
  FakeReplaceOs os;

  void SetUp() override {
    AddService("Tcpip\\Parameters");
    AddService("W32Time");
  }
  void TearDown() override { EXPECT_EQ(os.open_keys, 0) << "a key was left open"; }

  FakeKey& AddService(const std::string& path) { return os.AddKey(kServices + path); }
  FakeKey* Service(const std::string& path) { return os.FindKey(kServices + path); }

  // The names of the Services key's subkeys, in enumeration order.
  std::vector<std::string> Services() {
    std::vector<std::string> names;
    for (const auto& key : os.FindKey(kServices)->subkeys) names.push_back(key->name);
    return names;
  }
  // The legacy service keys that the Services key holds.
  int LegacyKeys() {
    return static_cast<int>(
        std::count_if(os.FindKey(kServices)->subkeys.begin(), os.FindKey(kServices)->subkeys.end(),
                      [](const auto& key) { return IsLegacyServiceName(key->name); }));
  }

  // Purges, after the status report's foresight of the purge, which must
  // come true: every key that it foresees deleted is deleted, every other
  // one stays. A buffer that the heap refuses cannot be foreseen. Foreseen
  // from a token that user account control filtered, each fate that it
  // tells comes true too, and the others are unknown for want of elevation.
  int Purge() {
    const int failures = std::exchange(os.local_machine_open_failures, 0);
    const std::size_t events = os.events.size();
    struct : UnknownFates {
      int count = 0;
      std::vector<WinError> errors;
      void Unknown(const std::string&, WinError error) override {
        ++count;
        errors.push_back(error);
      }
    } unknown, filtered_unknown;
    const LegacyServiceKeys foreseen = CountLegacyServiceKeys(os, unknown, true);
    os.filtered_token = true;
    const LegacyServiceKeys filtered = CountLegacyServiceKeys(os, filtered_unknown, false);
    os.filtered_token = false;
    os.events.resize(events);
    os.local_machine_open_failures = failures;
    const int before = LegacyKeys();

    RestartRecord restart(os);
    const int result = PurgeLegacyServices(os, restart);
    if (!os.heap_exhausted && failures < 2) {
      EXPECT_EQ(foreseen.error, kErrorSuccess);
      EXPECT_EQ(unknown.count, 0);
      EXPECT_EQ(foreseen.deleted, before - LegacyKeys()) << "deleted";
      EXPECT_EQ(foreseen.kept, LegacyKeys()) << "kept";
      EXPECT_EQ(filtered.deleted + filtered.kept + filtered.unknown,
                foreseen.deleted + foreseen.kept)
          << "not elevated";
      EXPECT_LE(filtered.deleted, foreseen.deleted) << "not elevated";
      EXPECT_LE(filtered.kept, foreseen.kept) << "not elevated";
      EXPECT_THAT(filtered_unknown.errors, ::testing::Each(kErrorElevationRequired));
    }
    return result;
  }
  int Passes() {
    return static_cast<int>(
        std::count(os.events.begin(), os.events.end(), std::string("open HKLM\\") + kServices));
  }
};

TEST_F(PurgeTest, NothingMatchesTwoPassesChangeNothing) {
  EXPECT_EQ(Purge(), 0);
  EXPECT_EQ(Passes(), 2);
  EXPECT_THAT(Services(), ::testing::ElementsAre("Tcpip", "W32Time"));
  ASSERT_NE(Service("Tcpip\\Parameters"), nullptr);
}

TEST_F(PurgeTest, AKeyWithChildrenIsDeletedAndASecondPassStillRuns) {
  AddService("vanwdgsv\\Enum");
  AddService("vanwdgsv\\Security");
  EXPECT_EQ(Purge(), 1);
  EXPECT_EQ(Passes(), 2);  // nothing of the second pattern was removed
  EXPECT_THAT(Services(), ::testing::ElementsAre("Tcpip", "W32Time"));
}

TEST_F(PurgeTest, OnePassWhenBothPatternsWereRemoved) {
  AddService("vanwdgsv");
  AddService("vanwdgex");
  EXPECT_EQ(Purge(), 1);
  EXPECT_EQ(Passes(), 1);
  EXPECT_THAT(Services(), ::testing::ElementsAre("Tcpip", "W32Time"));
}

TEST_F(PurgeTest, TheWalkVisitsTheKeyThatMovedIntoADeletedKeysPlace) {
  // Each deletion moves the following keys one index down.
  for (const char* name : {"vanwdgex", "vanwdgsv", "vanwdgsv2", "Zeta", "old_vanwdgex"}) {
    AddService(name);
  }
  for (const char* child : {"a", "b", "c"}) {
    AddService(std::string("vanwdgsv2\\") + child + "\\x");
    AddService(std::string("vanwdgsv2\\") + child + "\\y");
  }
  EXPECT_EQ(Purge(), 1);
  EXPECT_EQ(Passes(), 1);
  EXPECT_THAT(Services(), ::testing::ElementsAre("Tcpip", "W32Time", "Zeta"));
}

TEST_F(PurgeTest, NamesMatchAnywhereButOnlyInLowerCase) {
  const struct {
    const char* name;
    bool removed;
  } cases[] = {
      {"xvanwdgsvy", true}, {"old_vanwdgex", true},     {"vanwdgsv", true},
      {"VANWDGSV", false},  {"VanWdgEx", false},        {"vanwdg", false},
      {"vanwdgs_v", false}, {"vanwdgsvvanwdgex", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AddService(std::string(c.name) + "\\Enum");
    EXPECT_EQ(Purge(), c.removed ? 1 : 0);
    EXPECT_EQ(Service(c.name) == nullptr, c.removed);
    if (!c.removed) {
      ASSERT_NE(Service(std::string(c.name) + "\\Enum"), nullptr);
      EXPECT_FALSE(Service(c.name)->administrators_only);
    }
    os.FindKey(kServices)->subkeys.resize(2);
  }
}

TEST_F(PurgeTest, DeletionReachesTwoLevelsAndNoFurther) {
  AddService("vanwdgsv\\Plain");
  AddService("vanwdgsv\\Deep\\Grand\\Great");
  AddService("vanwdgsv\\Deep\\Sibling");
  EXPECT_EQ(Purge(), 0);
  EXPECT_EQ(Passes(), 2);
  EXPECT_EQ(Service("vanwdgsv\\Plain"), nullptr);
  EXPECT_EQ(Service("vanwdgsv\\Deep\\Sibling"), nullptr);
  ASSERT_NE(Service("vanwdgsv\\Deep\\Grand\\Great"), nullptr);
  // The reset DACL stays on the key that could not be deleted.
  EXPECT_TRUE(Service("vanwdgsv")->administrators_only);
  EXPECT_FALSE(Service("vanwdgsv\\Deep")->administrators_only);
}

// A link at any level of a legacy key is opened and deleted as the link: its
// target anywhere in the registry keeps its subkeys and its DACL.
TEST_F(PurgeTest, LinksAreDeletedThemselvesNeverTheirTargets) {
  FakeKey& victim = os.AddKey("SOFTWARE\\Victim");
  os.AddKey("SOFTWARE\\Victim\\Sub");
  AddService("vanwdgsv\\Parameters").link = "SOFTWARE\\Victim";
  AddService("vanwdgex\\Child\\Grand").link = "SOFTWARE\\Victim";
  AddService("vanwdgex_service").link = "SOFTWARE\\Victim";
  EXPECT_EQ(Purge(), 1);
  EXPECT_EQ(LegacyKeys(), 0);
  ASSERT_NE(os.FindKey("SOFTWARE\\Victim\\Sub"), nullptr);
  EXPECT_FALSE(victim.administrators_only);
}

TEST_F(PurgeTest, AKeyIsDeletedOnlyAfterItsDaclWasReset) {
  const struct {
    const char* name;
    bool dacl_readable, dacl_writable, heap_exhausted;
  } cases[] = {
      {"DACL cannot be read", false, true, false},
      {"DACL cannot be written", true, false, false},
      {"no buffer for the DACL", true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeKey& key = AddService("vanwdgex");
    key.dacl_readable = c.dacl_readable;
    key.dacl_writable = c.dacl_writable;
    os.heap_exhausted = c.heap_exhausted;
    AddService("vanwdgex\\Enum");
    EXPECT_EQ(Purge(), 0);
    ASSERT_NE(Service("vanwdgex"), nullptr);
    EXPECT_EQ(Service("vanwdgex\\Enum"), nullptr);  // its children went
    EXPECT_FALSE(Service("vanwdgex")->administrators_only);
    EXPECT_EQ(os.open_keys, 0);
    os.FindKey(kServices)->subkeys.resize(2);
  }
}

TEST_F(PurgeTest, KeysThatCannotBeOpenedOrDeletedStay) {
  AddService("vanwdgsv_locked\\Enum").openable = true;
  Service("vanwdgsv_locked")->openable = false;
  AddService("vanwdgsv_child\\Locked").openable = false;
  AddService("vanwdgsv_child\\Open");
  AddService("vanwdgsv_kept\\Kept").deletable = false;
  AddService("vanwdgsv_grand\\Child\\Kept").deletable = false;
  // Names of 255 characters that need more than the 512-byte buffer in a
  // UTF-8 code page: they are not read, and stay.
  std::string long_name;
  for (int i = 0; i < 255; ++i) long_name += "\xE3\x81\x82";
  AddService("vanwdgsv_long\\" + long_name);
  AddService("vanwdgsv_long\\Open");
  AddService("vanwdgsv_grand_long\\Child\\" + long_name);
  EXPECT_EQ(Purge(), 0);
  EXPECT_EQ(os.empty_name_uses, 0);
  ASSERT_NE(Service("vanwdgsv_long\\" + long_name), nullptr);
  EXPECT_EQ(Service("vanwdgsv_long\\Open"), nullptr);
  EXPECT_TRUE(Service("vanwdgsv_long")->administrators_only);
  ASSERT_NE(Service("vanwdgsv_grand_long\\Child\\" + long_name), nullptr);
  for (const char* path : {"vanwdgsv_locked\\Enum", "vanwdgsv_child\\Locked", "vanwdgsv_kept\\Kept",
                           "vanwdgsv_grand\\Child\\Kept"}) {
    ASSERT_NE(Service(path), nullptr) << path;
  }
  EXPECT_EQ(Service("vanwdgsv_child\\Open"), nullptr);
  EXPECT_FALSE(Service("vanwdgsv_locked")->administrators_only);
  EXPECT_TRUE(Service("vanwdgsv_child")->administrators_only);
}

TEST_F(PurgeTest, AServicesKeyThatCannotBeOpenedEndsOnlyThatPass) {
  AddService("vanwdgsv");
  os.local_machine_open_failures = 1;
  EXPECT_EQ(Purge(), 1);
  EXPECT_EQ(Service("vanwdgsv"), nullptr);

  AddService("vanwdgsv");
  os.local_machine_open_failures = 2;
  EXPECT_EQ(Purge(), 0);
  ASSERT_NE(Service("vanwdgsv"), nullptr);
}

TEST_F(PurgeTest, ResetKeyDaclGivesAdministratorsTheKey) {
  AddService("vanwdgsv");
  RegistryKeyPtr services;
  ASSERT_EQ(os.OpenLocalMachineKey(kServices, kKeyRead, services), kErrorSuccess);
  EXPECT_TRUE(ResetKeyDacl(*services, "vanwdgsv"));
  EXPECT_TRUE(Service("vanwdgsv")->administrators_only);
  EXPECT_FALSE(ResetKeyDacl(*services, "missing"));
}

}  // namespace
}  // namespace qsetup
