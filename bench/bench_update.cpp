// Cost of the two actions on large inputs. Hosts file: Set and Remove
// settings as the buttons carry them out, on blocklist-sized files, against a plain copy
// of the same file through the same stream (ReadString, WriteString) as the
// baseline. Proxy exception list: Set and Remove settings on a long
// ProxyOverride in the native in-memory registry. Every benchmark reports
// the bytes it processed and the peak heap it needed over the input's size;
// a summary at the end sets each action against the copy.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <native_hooks.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <string>

#include "Action.h"
#include "ManagedHosts.h"
#include "ProxyExceptionList.h"
#include "StdioFile.h"

// Heap in use and its peak, counted in every global operator new and delete.
// Counted only while a measurement runs, so the timed runs pay nothing.
namespace heap {
bool g_counting = false;
long long g_current = 0;  // allocated less freed since the measurement began
long long g_peak = 0;

void* Allocate(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  if (g_counting) {
    g_current += static_cast<long long>(malloc_usable_size(block));
    if (g_current > g_peak) g_peak = g_current;
  }
  return block;
}

void Release(void* block) {
  if (!block) return;
  if (g_counting) g_current -= static_cast<long long>(malloc_usable_size(block));
  std::free(block);
}

// Peak of the heap in use during `work`, above what was in use before it.
size_t PeakDuring(const std::function<void()>& work) {
  g_current = g_peak = 0;
  g_counting = true;
  work();
  g_counting = false;
  return static_cast<size_t>(g_peak);
}
}  // namespace heap

void* operator new(size_t size) { return heap::Allocate(size); }
void* operator new[](size_t size) { return heap::Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return heap::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { heap::Release(block); }
void operator delete[](void* block) noexcept { heap::Release(block); }
void operator delete(void* block, size_t) noexcept { heap::Release(block); }
void operator delete[](void* block, size_t) noexcept { heap::Release(block); }

namespace {

// Peak resident memory of the process over `work`, above the resident size
// before it; 0 where the kernel cannot reset the peak.
long PeakRssDuring(const std::function<void()>& work) {
  const auto field = [](const char* name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::char_traits<char>::length(name)) * 1024;
    return 0L;
  };
  malloc_trim(0);  // what earlier runs freed would otherwise hide the growth
  std::ofstream reset("/proc/self/clear_refs");
  reset << "5" << std::flush;  // resets VmHWM to the current VmRSS
  if (!reset) return 0;
  const long before = field("VmRSS:");
  work();
  return field("VmHWM:") - before;
}

// A hosts folder of the benchmark's own; NETSETUP_BENCH_DIR chooses where
// (by default the temporary folder, on disk like a real hosts file).
struct Folder {
  std::string root;
  std::filesystem::path hosts;
  std::filesystem::path copy;

  Folder() {
    const char* base = std::getenv("NETSETUP_BENCH_DIR");
    std::string pattern =
        std::string(base ? base : std::filesystem::temp_directory_path().string()) + "/netsetup-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root = pattern;
    const std::filesystem::path etc = std::filesystem::path(root) / "system32" / "drivers" / "etc";
    std::filesystem::create_directories(etc);
    hosts = etc / "Hosts";
    copy = etc / "Copy";
    native::SetSystem(0x23F00206, (root + "\\system32").c_str(), root.c_str());
  }
  ~Folder() { std::filesystem::remove_all(root); }

  static Folder& Get() {
    static Folder folder;
    return folder;
  }
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A blocklist hosts file of `count` lines: a short header, then one
// null-routed name a line, CR LF ends, none of the managed names.
const std::string& Blocklist(int count) {
  static std::map<int, std::string> made;
  std::string& text = made[count];
  if (text.empty()) {
    text = "# Blocklist\r\n#\r\n127.0.0.1 localhost\r\n";
    for (int i = 3; i < count; ++i) text += "0.0.0.0 ads.tracker-" + std::to_string(i) + ".example\r\n";
  }
  return text;
}

// The same file as Set leaves it: the managed rows appended.
const std::string& BlocklistWithManaged(int count) {
  static std::map<int, std::string> made;
  std::string& text = made[count];
  if (text.empty()) {
    text = Blocklist(count);
    for (const ManagedHost& row : kManagedHosts) text += std::string(row.address) + "\t\t" + row.hostName + "\r\n";
  }
  return text;
}

// The plain copy; with `flush`, also flushed to disk before the close, as
// an update is before it replaces the hosts file.
void StreamCopy(bool flush) {
  const Folder& folder = Folder::Get();
  CStdioFile in;
  CStdioFile out;
  if (!in.Open(CString(folder.hosts.string()), CStdioFile::modeEditShared, nullptr) ||
      !out.Open(CString(folder.copy.string()), CStdioFile::modeCreateExclusive, nullptr)) {
    std::fprintf(stderr, "cannot open the files to copy\n");
    std::exit(1);
  }
  for (CString line; in.ReadString(line);) {
    out.WriteString(line.View());
    out.WriteString("\n");
  }
  if (flush) out.FlushToDisk();
  out.Close();
  in.Close();
}

struct Peaks {
  size_t heap = 0;
  long rss = 0;
};

// Peak memory of one run of `work` after `prepare`, measured once for each
// benchmark and size however often the benchmark is run.
Peaks MeasureOnce(const benchmark::State& state, const char* what, const std::function<void()>& prepare,
                  const std::function<void()>& work) {
  static std::map<std::pair<std::string, int64_t>, Peaks> measured;
  const auto key = std::make_pair(std::string(what), state.range(0));
  const auto found = measured.find(key);
  if (found != measured.end()) return found->second;
  Peaks peaks;
  prepare();
  peaks.rss = PeakRssDuring(work);
  prepare();
  peaks.heap = heap::PeakDuring(work);
  return measured[key] = peaks;
}

void Report(benchmark::State& state, size_t inputBytes, const Peaks& peaks) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * inputBytes));
  state.counters["MB"] = static_cast<double>(inputBytes) / 1e6;
  state.counters["heap_x"] = static_cast<double>(peaks.heap) / static_cast<double>(inputBytes);
  state.counters["rss_x"] = static_cast<double>(peaks.rss) / static_cast<double>(inputBytes);
}

// One kind of hosts work on a file of state.range(0) lines; the file is
// laid anew, untimed, before every run.
void StoreProxyOverride(const std::string& text);

void HostsBenchmark(benchmark::State& state, const char* what, const std::string& input,
                    const std::function<void()>& work) {
  const Folder& folder = Folder::Get();
  const auto prepare = [&] {
    WriteBytes(folder.hosts, input);
    StoreProxyOverride("<local>");
  };
  const Peaks peaks = MeasureOnce(state, what, prepare, work);
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    state.ResumeTiming();
    work();
  }
  Report(state, input.size(), peaks);
}

void BM_HostsSet(benchmark::State& state) {
  HostsBenchmark(state, "Set", Blocklist(static_cast<int>(state.range(0))), [] { CarryOut(Action::set); });
}

void BM_HostsRemove(benchmark::State& state) {
  HostsBenchmark(state, "Remove", BlocklistWithManaged(static_cast<int>(state.range(0))),
                 [] { CarryOut(Action::remove); });
}

void BM_StreamCopy(benchmark::State& state) {
  HostsBenchmark(state, "Copy", Blocklist(static_cast<int>(state.range(0))), [] { StreamCopy(false); });
}

void BM_StreamCopyFlushed(benchmark::State& state) {
  HostsBenchmark(state, "CopyFlushed", Blocklist(static_cast<int>(state.range(0))), [] { StreamCopy(true); });
}

constexpr const char* kProxyKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

void StoreProxyOverride(const std::string& text) {
  native::ResetRegistry();
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kProxyKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, "ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// A list of `count` intranet names, without the tool's exceptions.
std::string ProxyList(int count) {
  std::string text = "<local>";
  for (int i = 1; i < count; ++i) text += ";host-" + std::to_string(i) + ".intranet.example";
  return text;
}

void ProxySet() { ProxyOverrideChange::AddProxyExceptionSet().Write(); }
void ProxyRemove() { ProxyOverrideChange::RemoveProxyExceptionSet().Write(); }

void ProxyBenchmark(benchmark::State& state, const char* what, const std::string& value, void (*work)()) {
  const auto prepare = [&] { StoreProxyOverride(value); };
  const Peaks peaks = MeasureOnce(state, what, prepare, work);
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    state.ResumeTiming();
    work();
  }
  Report(state, value.size(), peaks);
}

void BM_ProxySet(benchmark::State& state) {
  ProxyBenchmark(state, "ProxySet", ProxyList(static_cast<int>(state.range(0))), ProxySet);
}

void BM_ProxyRemove(benchmark::State& state) {
  const std::string value(ProxyExceptionsJoined().View());
  ProxyBenchmark(state, "ProxyRemove", value + ";" + ProxyList(static_cast<int>(state.range(0))),
                 ProxyRemove);
}

// The fastest of five repetitions: what else runs on the machine only ever
// adds time.
double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void Repeated(benchmark::internal::Benchmark* benchmark) {
  benchmark->Unit(benchmark::kMillisecond)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", Fastest);
}

BENCHMARK(BM_HostsSet)->Arg(256)->Arg(10000)->Arg(200000)->Apply(Repeated);
BENCHMARK(BM_HostsRemove)->Arg(256)->Arg(10000)->Arg(200000)->Apply(Repeated);
BENCHMARK(BM_StreamCopy)->Arg(256)->Arg(10000)->Arg(200000)->Apply(Repeated);
BENCHMARK(BM_StreamCopyFlushed)->Arg(256)->Arg(10000)->Arg(200000)->Apply(Repeated);
BENCHMARK(BM_ProxySet)->Arg(1000)->Arg(10000)->Arg(20000)->Apply(Repeated);
BENCHMARK(BM_ProxyRemove)->Arg(1000)->Arg(10000)->Arg(20000)->Apply(Repeated);

// The console report, then each action's fastest time per MB set against the copy's
// at the same size, and the goals checked.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min" || run.error_occurred) continue;
      const std::string name = run.run_name.function_name;
      const long size = std::stol(run.run_name.args);
      const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const double mb = run.counters.at("MB");
      m_results[name][size] = {seconds * 1e3 / mb, run.counters.at("heap_x"), run.counters.at("rss_x"), mb};
    }
  }

  void Finalize() override {
    std::ostream& out = GetOutputStream();
    char line[256];
    out << "\nHosts file: ms per MB of input; ratio to the stream copy (and to the copy flushed to disk);\n"
           "peak heap / file size\n";
    std::snprintf(line, sizeof line, "%7s %5s | %6s %6s %6s %6s | %5s %5s | %5s %5s | %5s %5s %5s\n", "lines", "MB",
                  "Set", "Remove", "Copy", "Cp+fl", "S/Cp", "R/Cp", "S/Cfl", "R/Cfl", "heapS", "heapR", "heapC");
    out << line;
    for (const auto& [size, copy] : m_results["BM_StreamCopy"]) {
      const Result& flushed = m_results["BM_StreamCopyFlushed"][size];
      const Result& set = m_results["BM_HostsSet"][size];
      const Result& remove = m_results["BM_HostsRemove"][size];
      std::snprintf(line, sizeof line,
                    "%7ld %5.2f | %6.2f %6.2f %6.2f %6.2f | %5.2f %5.2f | %5.2f %5.2f | %5.2f %5.2f %5.2f\n", size,
                    copy.mb, set.msPerMb, remove.msPerMb, copy.msPerMb, flushed.msPerMb, set.msPerMb / copy.msPerMb,
                    remove.msPerMb / copy.msPerMb, set.msPerMb / flushed.msPerMb, remove.msPerMb / flushed.msPerMb,
                    set.heapX, remove.heapX, copy.heapX);
      out << line;
    }
    out << "\nProxy exception list: ms per MB of value, ms per 1000 entries, peak heap / value size\n";
    for (const char* name : {"BM_ProxySet", "BM_ProxyRemove"}) {
      for (const auto& [size, result] : m_results[name]) {
        std::snprintf(line, sizeof line, "%-15s %6ld entries %6.3f MB | %9.2f ms/MB %8.3f ms/1000 | heap %5.2f\n", name,
                      size, result.mb, result.msPerMb, result.msPerMb * result.mb * 1000.0 / size, result.heapX);
        out << line;
      }
    }
    Goals(out);
  }

 private:
  struct Result {
    double msPerMb = 0;
    double heapX = 0;
    double rssX = 0;
    double mb = 0;
  };

  void Goals(std::ostream& out) {
    auto& copy = m_results["BM_StreamCopy"];
    if (!copy.count(200000) || !copy.count(10000)) return;
    out << "\nGoals at 200000 lines:\n";
    for (const char* name : {"BM_HostsSet", "BM_HostsRemove"}) {
      auto& results = m_results[name];
      const double ratio = results[200000].msPerMb / copy[200000].msPerMb;
      const double growth = results[200000].msPerMb / results[10000].msPerMb;
      char line[256];
      std::snprintf(line, sizeof line,
                    "%-15s %5.2fx the copy (goal 2x: %s); ms/MB at 200000 / at 10000 lines %4.2f (linear: ~1); "
                    "peak heap %4.2fx, peak RSS %4.2fx the file (goal 3x: %s)\n",
                    name, ratio, ratio <= 2.0 ? "met" : "MISSED", growth, results[200000].heapX, results[200000].rssX,
                    results[200000].heapX <= 3.0 ? "met" : "MISSED");
      out << line;
    }
  }

  std::map<std::string, std::map<long, Result>> m_results;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
