// Cost of Set and Remove settings on a long ProxyOverride in the fake's
// in-memory registry. Every benchmark reports the bytes it processed and the
// peak heap it needed over the value's size. (The hosts file's part is
// measured as whole processes against the raw limit: bench_hosts.)
#include <benchmark/benchmark.h>
#include <fakewin.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "ManagedHosts.h"
#include "ProxyExceptionList.h"
#include "ProxyListChange.h"
#include "ProxyLists.h"
#include "RegistryValues.h"

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

// Peak heap of one run of `work` after `prepare`, measured once for each
// benchmark and size however often the benchmark is run.
size_t PeakHeapOnce(const benchmark::State& state, const char* what, const std::function<void()>& prepare,
                    const std::function<void()>& work) {
  static std::map<std::pair<std::string, int64_t>, size_t> measured;
  const auto key = std::make_pair(std::string(what), state.range(0));
  const auto found = measured.find(key);
  if (found != measured.end()) return found->second;
  prepare();
  return measured[key] = heap::PeakDuring(work);
}

void StoreProxyOverride(const std::string& text) {
  fakewin::ResetRegistry();
  RegistryValues::SetValue(RegistryValues::kProxyKey, RegistryValues::kProxyName, RegistryValues::Sz(text));
}

// A list of `count` intranet names, without the tool's exceptions.
std::string ProxyList(int count) {
  std::string text = "<local>";
  for (int i = 1; i < count; ++i) text += ";host-" + std::to_string(i) + ".intranet.example";
  return text;
}

void ProxySet() { ProxyListChange::AddProxyExceptionSet(ProxyListInForce()).Write(); }
void ProxyRemove() { ProxyListChange::RemoveProxyExceptionSet(ProxyListInForce()).Write(); }

void ProxyBenchmark(benchmark::State& state, const char* what, const std::string& value, void (*work)()) {
  const auto prepare = [&] { StoreProxyOverride(value); };
  const size_t peakHeap = PeakHeapOnce(state, what, prepare, work);
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    state.ResumeTiming();
    work();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * value.size()));
  state.counters["MB"] = static_cast<double>(value.size()) / 1e6;
  state.counters["heap_x"] = static_cast<double>(peakHeap) / static_cast<double>(value.size());
}

void BM_ProxySet(benchmark::State& state) {
  ProxyBenchmark(state, "ProxySet", ProxyList(static_cast<int>(state.range(0))), ProxySet);
}

void BM_ProxyRemove(benchmark::State& state) {
  const std::string value(ProxyExceptionsJoined().View());
  ProxyBenchmark(state, "ProxyRemove", value + ";" + ProxyList(static_cast<int>(state.range(0))), ProxyRemove);
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

BENCHMARK(BM_ProxySet)->Arg(1000)->Arg(10000)->Arg(20000)->Apply(Repeated);
BENCHMARK(BM_ProxyRemove)->Arg(1000)->Arg(10000)->Arg(20000)->Apply(Repeated);

// The console report, then per action and size the fastest time per MB and
// per 1000 entries, and the peak heap over the value's size.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min" || run.error_occurred) continue;
      const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const double mb = run.counters.at("MB");
      m_results[run.run_name.function_name][std::stol(run.run_name.args)] = {seconds * 1e3 / mb,
                                                                             run.counters.at("heap_x"), mb};
    }
  }

  void Finalize() override {
    std::ostream& out = GetOutputStream();
    char line[256];
    out << "\nProxy exception list: ms per MB of value, ms per 1000 entries, peak heap / value size\n";
    for (const char* name : {"BM_ProxySet", "BM_ProxyRemove"}) {
      for (const auto& [size, result] : m_results[name]) {
        std::snprintf(line, sizeof line, "%-15s %6ld entries %6.3f MB | %9.2f ms/MB %8.3f ms/1000 | heap %5.2f\n", name,
                      size, result.mb, result.msPerMb, result.msPerMb * result.mb * 1000.0 / size, result.heapX);
        out << line;
      }
    }
  }

 private:
  struct Result {
    double msPerMb = 0;
    double heapX = 0;
    double mb = 0;
  };

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
