// /set /allusers on a PC of 1, 30 and 300 profiles, none signed in, on the
// fake of Windows: each round a process of its own ("run N FOLDER"), which
// builds the PC, then times the action alone and tells its own peak
// resident memory. The time should grow with the profiles in a straight
// line (a hive loaded, read, written and unloaded each), the memory not at
// all (one hive at a time).
#include <fakewin.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Action.h"
#include "HivePrivileges.h"
#include "RegistryValues.h"
#include "TempFolder.h"
#include "UserProfiles.h"

namespace {

constexpr int kRounds = 5;
constexpr const char* kScratch = "BenchProfile";

void BuildPc(int profiles, const std::filesystem::path& drive) {
  fakewin::UseWindowsFolder(drive / "Windows");
  fakewin::SetEnvironment("SystemDrive", drive.c_str());
  fakewin::SetUsers("S-1-5-18", nullptr);
  const HivePrivileges privileges;
  for (int i = 0; i < profiles; ++i) {
    const std::string folder = "pupil" + std::to_string(i);
    std::filesystem::create_directories(drive / "Users" / folder);
    const std::string hive = drive.string() + "\\Users\\" + folder + "\\NTUSER.DAT";
    RegLoadKeyA(HKEY_USERS, kScratch, hive.c_str());
    RegistryValues::SetValue(HKEY_USERS, std::string(kScratch) + "\\" + RegistryValues::kProxyKey,
                             RegistryValues::kProxyName, RegistryValues::Sz("*.local.test;<local>"));
    RegUnLoadKeyA(HKEY_USERS, kScratch);
    const std::string entry = std::string(PROFILE_LIST_PATH) + "\\S-1-5-21-7-" + std::to_string(1000 + i);
    const std::string path = "%SystemDrive%\\Users\\" + folder;
    RegistryValues::SetValue(HKEY_LOCAL_MACHINE, entry, "ProfileImagePath",
                             RegistryValues::Stored{REG_EXPAND_SZ, path + '\0'});
  }
}

long ResidentKb() {
  long pages = 0;
  long resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm && std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  if (statm) std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// One round: "MILLISECONDS KB", the peak resident memory above what the
// process held when the action began (the PC's registry, built first).
int Run(int profiles, const char* folder) {
  BuildPc(profiles, folder);
  const long before = ResidentKb();
  const auto start = std::chrono::steady_clock::now();
  Outcomes outcomes;
  CarryOut({Action::set, Scope::both, Users::all}, &outcomes);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.3f %ld\n", ms, std::max(0L, usage.ru_maxrss - before));
  // The hosts file, each profile's list, the record of the deployment.
  return outcomes.size() == static_cast<size_t>(profiles) + 2 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "run") return Run(std::atoi(argv[2]), argv[3]);
  std::printf("| profiles | /set /allusers (ms) | per profile (ms) | the action's memory (KB) |\n|---|---|---|---|\n");
  for (const int profiles : {1, 30, 300}) {
    double fastest = 1e30;
    long peak = 0;
    for (int round = 0; round < kRounds; ++round) {
      const TempFolder drive;
      const std::string command =
          std::string(argv[0]) + " run " + std::to_string(profiles) + " " + drive.Local().string();
      FILE* child = popen(command.c_str(), "r");
      double ms = 0;
      long kb = 0;
      const bool read = child && std::fscanf(child, "%lf %ld", &ms, &kb) == 2;
      if (!child || pclose(child) != 0 || !read) {
        std::fprintf(stderr, "round failed: %s\n", command.c_str());
        return 1;
      }
      fastest = std::min(fastest, ms);
      peak = std::max(peak, kb);
    }
    std::printf("| %d | %.1f | %.2f | %ld |\n", profiles, fastest, fastest / profiles, peak);
  }
  return 0;
}
