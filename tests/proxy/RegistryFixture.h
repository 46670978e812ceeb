// Scratch keys under HKEY_CURRENT_USER: natively in an emptied stand-in
// registry, under wine in the prefix's real one. They are deleted before and
// after each test; natively every key handle must be closed by then.
#pragma once

#include <gtest/gtest.h>

#include "RegistryValues.h"

#ifndef _WIN32
#include <fakewin.h>
#endif

class RegistryTest : public ::testing::Test, protected RegistryValues {
 protected:
  // Below an existing first component, so the walk creates what lies under it.
  static constexpr const char* kScratch = "Software\\NetSetupTest";
  // A first component of the tests' own, directly under the root.
  static constexpr const char* kTopScratch = "NetSetupTest";

  void SetUp() override {
#ifndef _WIN32
    fakewin::ResetRegistry();
    CreateKey("Software");
#endif
    DeleteScratch();
  }

  void TearDown() override {
#ifndef _WIN32
    fakewin::ClearFailure();
    EXPECT_EQ(fakewin::OpenKeyCount(), 0) << "a key handle was left open";
#endif
    DeleteScratch();
  }

  static void DeleteScratch() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTopScratch);
  }
};
