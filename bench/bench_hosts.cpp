// Set and Remove settings on large hosts files, each a whole process
// (carry_out), timed side by side with the raw limit of an update
// (raw_copy: read, write a new file, flush it to disk, rename it over the
// original); and the check of /check /machine (carry_out check) beside the
// raw limit of a read (raw_read: read the file whole). Rounds take the five
// in turn, each on a freshly laid file that is already on disk and in the
// page cache, so that all five meet the same machine. Reports the fastest
// wall time of each (what else runs on the machine only ever adds time) and
// its peak resident memory, their ratios to the raw limits, and the goals.
//
//   bench_hosts [--rounds N] [LINES...]   (NETSETUP_BENCH_DIR: the folder)
#include <fakewin.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ManagedHosts.h"
#include "TempFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_hosts: %s\n", what.c_str());
  std::exit(1);
}

// Writes a blocklist hosts file of `count` lines to `path`, on disk: a short
// header, then one null-routed name a line, CR LF ends; with `managed`, the
// managed rows appended as Set leaves them. Written a line at a time: the
// runner's own peak resident memory counts in each run's (exec keeps it).
void WriteBlocklist(const fs::path& path, int count, bool managed) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) Fail("cannot write " + path.string());
  std::fputs("# Blocklist\r\n#\r\n127.0.0.1 localhost\r\n", file);
  for (int i = 3; i < count; ++i) std::fprintf(file, "0.0.0.0 ads.tracker-%d.example\r\n", i);
  if (managed)
    for (const ManagedHost& row : kManagedHosts) std::fprintf(file, "%s\t\t%s\r\n", row.address, row.hostName);
  if (std::fflush(file) != 0 || fsync(fileno(file)) != 0 || std::fclose(file) != 0)
    Fail("cannot write " + path.string());
}

// Lays the file `from` down as `to`, on disk before anything is timed.
void Lay(const fs::path& from, const fs::path& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) Fail("cannot lay " + to.string());
  for (ssize_t n; (n = copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0)) != 0;)
    if (n < 0) Fail("cannot lay " + to.string());
  if (fsync(out) != 0) Fail("cannot flush " + to.string());
  close(in);
  close(out);
}

// Compared a block at a time: the runner stays small (see WriteBlocklist).
bool SameBytes(const fs::path& a, const fs::path& b) {
  std::FILE* fileA = std::fopen(a.c_str(), "rb");
  std::FILE* fileB = std::fopen(b.c_str(), "rb");
  bool same = fileA && fileB;
  static char blockA[1 << 16];
  static char blockB[1 << 16];
  while (same) {
    const size_t gotA = std::fread(blockA, 1, sizeof blockA, fileA);
    const size_t gotB = std::fread(blockB, 1, sizeof blockB, fileB);
    same = gotA == gotB && std::memcmp(blockA, blockB, gotA) == 0;
    if (gotA == 0) break;
  }
  if (fileA) std::fclose(fileA);
  if (fileB) std::fclose(fileB);
  return same;
}

struct Sample {
  double ms;
  double rssMb;  // peak resident set
};

// One run of `args` as a process of its own.
Sample Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) Fail("cannot start " + args[0]);
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) Fail("lost " + args[0]);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(args[0] + " " + args[1] + " failed");
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          static_cast<double>(usage.ru_maxrss) / 1024.0};
}

long OwnPeakKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Figures {
  double ms;
  double rssMb;
};

// The fastest run's time; the median peak memory, which hardly varies.
Figures Summary(const std::vector<Sample>& samples) {
  std::vector<double> ms;
  std::vector<double> rss;
  for (const Sample& sample : samples) {
    ms.push_back(sample.ms);
    rss.push_back(sample.rssMb);
  }
  std::sort(rss.begin(), rss.end());
  return {*std::min_element(ms.begin(), ms.end()), rss[rss.size() / 2]};
}

struct Row {
  int lines;
  double mb;
  Figures raw, set, remove, read, check;
};

Row Measure(int lines, int rounds, const fs::path& root, const fs::path& programs) {
  const fs::path hosts = fakewin::UseWindowsFolder(root) / "Hosts";
  const fs::path plain = root / "plain";
  const fs::path managed = root / "managed";
  WriteBlocklist(plain, lines, false);
  WriteBlocklist(managed, lines, true);
  const std::string rawCopy = (programs / "raw_copy").string();
  const std::string rawRead = (programs / "raw_read").string();
  const std::string carryOut = (programs / "carry_out").string();
  std::vector<Sample> raw, set, remove, read, check;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 5; ++turn) {
      switch ((round + turn) % 5) {  // each takes each place in turn
        case 0:
          Lay(plain, hosts);
          raw.push_back(Run({rawCopy, hosts.string()}));
          if (!SameBytes(hosts, plain)) Fail("the raw copy changed the file");
          break;
        case 1:
          Lay(plain, hosts);
          set.push_back(Run({carryOut, "set", root.string()}));
          if (!SameBytes(hosts, managed)) Fail("Set did not append the managed rows");
          break;
        case 2:
          Lay(managed, hosts);
          remove.push_back(Run({carryOut, "remove", root.string()}));
          if (!SameBytes(hosts, plain)) Fail("Remove settings did not drop the managed rows");
          break;
        case 3:
          Lay(managed, hosts);
          read.push_back(Run({rawRead, hosts.string()}));
          break;
        default:  // the check exits with a failure unless it finds every managed row
          Lay(managed, hosts);
          check.push_back(Run({carryOut, "check", root.string()}));
          if (!SameBytes(hosts, managed)) Fail("the check changed the file");
          break;
      }
    }
  }
  const double mb = static_cast<double>(fs::file_size(plain)) / 1e6;
  return {lines, mb, Summary(raw), Summary(set), Summary(remove), Summary(read), Summary(check)};
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void Print(const std::vector<Row>& rows, int rounds) {
  std::printf("\nWhole processes, %d rounds: fastest wall time in ms, peak resident memory (RSS) in MB\n", rounds);
  std::printf("%9s %6s | %7s %7s %7s | %7s %7s | %6s %6s %6s | %7s %7s\n", "lines", "MB", "raw", "Set", "Remove",
              "Set/raw", "Rem/raw", "RSSraw", "RSSSet", "RSSRem", "RSS/MB", "");
  for (const Row& r : rows)
    std::printf("%9d %6.2f | %7.1f %7.1f %7.1f | %7.2f %7.2f | %6.1f %6.1f %6.1f | %7.2f %7.2f\n", r.lines, r.mb,
                r.raw.ms, r.set.ms, r.remove.ms, r.set.ms / r.raw.ms, r.remove.ms / r.raw.ms, r.raw.rssMb, r.set.rssMb,
                r.remove.rssMb, r.set.rssMb / r.mb, r.remove.rssMb / r.mb);
  std::printf(
      "(RSS/MB: peak RSS of Set and of Remove settings over the file's size. A run's peak counts this\n"
      " runner's own, %.1f MB, which exec keeps: figures near it are the runner's.)\n",
      static_cast<double>(OwnPeakKb()) / 1024.0);
  std::printf("\nThe check (/check /machine) of the file as Set leaves it, beside the raw read of it\n");
  std::printf("%9s %6s | %7s %7s | %10s | %7s %8s\n", "lines", "MB", "read", "Check", "Check/read", "RSSread",
              "RSSCheck");
  for (const Row& r : rows)
    std::printf("%9d %6.2f | %7.1f %7.1f | %10.2f | %7.1f %8.1f\n", r.lines, r.mb, r.read.ms, r.check.ms,
                r.check.ms / r.read.ms, r.read.rssMb, r.check.rssMb);

  const auto at = [&](int lines) -> const Row* {
    for (const Row& r : rows)
      if (r.lines == lines) return &r;
    return nullptr;
  };
  std::printf("\nGoals\n");
  for (const int lines : {200000, 1000000}) {
    if (const Row* r = at(lines))
      std::printf("  %7d lines: Set %.2fx, Remove %.2fx the raw limit (at most 1.15x: %s)\n", lines,
                  r->set.ms / r->raw.ms, r->remove.ms / r->raw.ms,
                  Verdict(r->set.ms <= 1.15 * r->raw.ms && r->remove.ms <= 1.15 * r->raw.ms));
  }
  const Row* large = at(1000000);
  if (large) {
    std::printf("  1000000 lines: the check %.2fx the raw read (at most 1.1x: %s)\n", large->check.ms / large->read.ms,
                Verdict(large->check.ms <= 1.1 * large->read.ms));
    std::printf("  1000000 lines: peak RSS %.2fx (Set), %.2fx (Remove) the file (at most 1.5x: %s)\n",
                large->set.rssMb / large->mb, large->remove.rssMb / large->mb,
                Verdict(std::max(large->set.rssMb, large->remove.rssMb) <= 1.5 * large->mb));
  }
  // The raw limit is linear by definition; the actions' time per MB must
  // grow no more than its own does on this machine.
  if (const Row* medium = at(200000); medium && large) {
    const auto growth = [&](const Figures Row::*which) {
      return ((*large).*which).ms / large->mb / (((*medium).*which).ms / medium->mb);
    };
    std::printf(
        "  ms per MB at 1000000 over at 200000 lines: raw %.2f, Set %.2f, Remove %.2f "
        "(linear, as the raw limit, within 10%%: %s)\n",
        growth(&Row::raw), growth(&Row::set), growth(&Row::remove),
        Verdict(std::max(growth(&Row::set), growth(&Row::remove)) <= 1.1 * growth(&Row::raw)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 15;
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
      rounds = std::atoi(argv[++i]);
    else
      sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {256, 10000, 200000, 1000000};
  if (rounds < 1) Fail("--rounds needs a number of at least 1");

  const fs::path programs = fs::read_symlink("/proc/self/exe").parent_path();
  const char* base = std::getenv("NETSETUP_BENCH_DIR");
  std::vector<Row> rows;
  {
    const TempFolder root(base ? fs::path(base) : fs::temp_directory_path());
    for (const int lines : sizes) {
      std::fprintf(stderr, "%d lines, %d rounds...\n", lines, rounds);
      rows.push_back(Measure(lines, rounds, root.Local(), programs));
    }
  }
  Print(rows, rounds);
  return 0;
}
