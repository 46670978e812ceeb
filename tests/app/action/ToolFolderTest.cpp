// The tool's folder is written in only while no ordinary user could have
// made it or can change it; natively on the fake, as wine enforces neither
// owners nor access lists.
#ifndef _WIN32

#include "ToolFolder.h"

#include <filesystem>
#include <string>

#include "MachineTest.h"
#include "TempFolder.h"

namespace {

class ToolFolderTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    fakewin::UseCommonAppDataFolder(m_data.Path());
  }
  CString Path() const { return m_data.Path() + "\\Orvane"; }
  std::filesystem::path Local() const { return m_data.Local() / "Orvane"; }
  static std::string Why(const ToolFolder& folder) { return folder.Why() ? folder.Why() : "trusted"; }

  TempFolder m_data;
};

TEST_F(ToolFolderTest, OnlyAFolderNoOrdinaryUserCanSteerIsUsed) {
  constexpr const char* kInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const struct {
    const char* what;
    std::string security;  // empty: none there before
    const char* why;
  } cases[] = {
      {"made by the run", "", "trusted"},
      {"SYSTEM's, users reading", "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)", "trusted"},
      {"as Program Files hands on", std::string("O:BAD:(A;CI;FA;;;") + kInstaller + ")(A;OICIIO;FA;;;CO)(A;;FR;;;BU)",
       "trusted"},
      {"the run's own account's", std::string("O:") + fakewin::kUserSid + "D:(A;;FA;;;SY)", "trusted"},
      {"a pupil's", "O:S-1-5-21-7-1001D:(A;OICI;FA;;;SY)", "owner"},
      {"users may add files", "O:SYD:(A;;0x2;;;BU)", "access list"},
      {"users may add folders", "O:SYD:(A;;0x4;;;BU)", "access list"},
      {"users may change its access list", "O:SYD:(A;;WD;;;BU)", "access list"},
      {"users get the files made in it", "O:SYD:(A;OIIO;FW;;;BU)", "access list"},
      {"no access list at all", "O:SYD:NO_ACCESS_CONTROL", "access list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.security.empty()) {
      std::filesystem::create_directory(Local());
      fakewin::SetFileSecurity(Path(), c.security.c_str());
    }
    const ToolFolder folder(true);
    EXPECT_EQ(Why(folder), c.why);
    EXPECT_EQ(folder.Folder().IsOpen(), folder.Trusted());
    std::filesystem::remove_all(Local());
  }
}

TEST_F(ToolFolderTest, ALinkIsNotFollowedAndNothingIsMadeUnlessAsked) {
  const TempFolder system;
  std::filesystem::create_directory_symlink(system.Local(), Local());
  EXPECT_EQ(Why(ToolFolder(true)), "a link");
  std::filesystem::remove(Local());
  EXPECT_EQ(Why(ToolFolder(false)), "missing");
  EXPECT_FALSE(std::filesystem::exists(Local()));
}

}  // namespace

#endif
