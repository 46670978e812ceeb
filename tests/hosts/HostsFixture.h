// A hosts file to work on: natively in a Windows folder of the test's own,
// under wine the prefix's real one, restored afterwards.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Files.h"
#include "HostsFile.h"
#include "MachineTest.h"
#include "ManagedHosts.h"
#include "TempFolder.h"

class HostsFileTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
#ifndef _WIN32
    fakewin::UseWindowsFolder(m_folder.Local());
#endif
    m_path = CHostsFile().GetPath();
    m_hadHosts = std::filesystem::exists(testfiles::Local(m_path));
    if (m_hadHosts) m_original = testfiles::ReadBytes(m_path);
  }

  void TearDown() override {
    MachineTest::TearDown();
    SetFileAttributesA(m_path, FILE_ATTRIBUTE_NORMAL);
    if (m_hadHosts)
      testfiles::WriteBytes(m_path, m_original);
    else
      RemoveHosts();
    for (const std::string& name : NewFiles()) std::filesystem::remove(Folder() / name);
  }

  std::filesystem::path Folder() const { return testfiles::Local(m_path).parent_path(); }

  void WriteHosts(std::string_view bytes) { testfiles::WriteBytes(m_path, bytes); }
  std::string Hosts() const { return testfiles::ReadBytes(m_path); }
  // Nothing when there is no hosts file.
  std::optional<std::string> HostsIfAny() const {
    if (!std::filesystem::exists(testfiles::Local(m_path))) return std::nullopt;
    return Hosts();
  }
  void RemoveHosts() { std::filesystem::remove(testfiles::Local(m_path)); }

  // Files the editor may have left beside the hosts file.
  std::vector<std::string> NewFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) names.push_back(name);
    }
    return names;
  }

  // The hosts file's part of Set or Remove settings.
  std::string Update(bool set) {
    CHostsFile().Update(set ? CHostsFile::addMissing : CHostsFile::markManaged);
    return Hosts();
  }
  std::string Set() { return Update(true); }
  std::string Remove() { return Update(false); }

  // Every managed row as the editor appends it.
  static std::string ManagedLines(int fromRow = 0) {
    std::string lines;
    for (int row = fromRow; row < kManagedHostCount; ++row)
      lines += std::string(kManagedHosts[row].address) + "\t\t" + kManagedHosts[row].hostName + "\r\n";
    return lines;
  }

  static std::string ManagedLine(int row) {
    return ManagedLines(row).substr(0, ManagedLines(row).size() - ManagedLines(row + 1).size());
  }

  static std::string Row(int row) {
    return std::string(kManagedHosts[row].address) + " " + kManagedHosts[row].hostName;
  }

  TempFolder m_folder;
  CString m_path;
  bool m_hadHosts = false;
  std::string m_original;
};
