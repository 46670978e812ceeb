// Scratch keys under HKEY_CURRENT_USER, deleted before and after each test.
#pragma once

#include "MachineTest.h"

class RegistryTest : public MachineTest {
 protected:
  // Below an existing first component, so the walk creates what lies under it.
  static constexpr const char* kScratch = "Software\\NetSetupTest";
  // A first component of the tests' own, directly under the root.
  static constexpr const char* kTopScratch = "NetSetupTest";

  void SetUp() override {
    MachineTest::SetUp();
    DeleteScratch();
  }

  void TearDown() override {
    MachineTest::TearDown();
    DeleteScratch();
  }

  static void DeleteScratch() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTopScratch);
  }
};
