// The base of the tests that touch the machine: natively each starts on a
// fresh fake of Windows and must leave no key handle open and load no
// library but the system's own by its full path; under wine they
// run on the prefix's own, and the user's proxy list is put back as it was.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "RegistryValues.h"

#ifndef _WIN32
#include <fakewin.h>
#endif

class MachineTest : public ::testing::Test, protected RegistryValues {
 protected:
  void SetUp() override {
#ifndef _WIN32
    fakewin::Reset();
#endif
    m_savedProxy = Value(kProxyKey, kProxyName, true);
  }

  // Derived fixtures call it first: no failure injected by the test may
  // meet their own clean-up.
  void TearDown() override {
#ifndef _WIN32
    fakewin::ClearFailure();
    EXPECT_EQ(fakewin::OpenKeyCount(), 0) << "a key handle was left open";
    EXPECT_EQ(fakewin::TakeStrayLoads(), std::vector<std::string>())
        << "a library loaded by a name the loader searches";
#endif
    SetValue(kProxyKey, kProxyName, m_savedProxy, true);
  }

 private:
  std::optional<Stored> m_savedProxy;
};
