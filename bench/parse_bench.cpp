// Throughput of the parse against the floor (an fgets loop that does
// nothing else) and against a hand-written std::getline parser.
//   parse_bench [benchmark flags]     the benchmarks and their ratios
//   parse_bench --peak-rss FILE       memory of one parse of FILE
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "generate.h"
#include "parser/line_sources.h"
#include "quorlen_config_parser.h"
#include "setup/setup_internal.h"

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_realloc(void* p, std::size_t size);
}

namespace {

// Allocations by the library, counted through the linker's --wrap.
long allocations = 0;

}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
  ++allocations;
  return __real_malloc(size);
}
extern "C" void* __wrap_realloc(void* p, std::size_t size) {
  ++allocations;
  return __real_realloc(p, size);
}

namespace {

struct bench_file {
  std::string path;
  std::size_t bytes;
  std::size_t lines;
};

// Files by size (MB) and by line count, written once to a temporary folder.
const bench_file& file_for(std::size_t megabytes, std::size_t lines) {
  static std::map<std::pair<std::size_t, std::size_t>, bench_file> files;
  auto key = std::make_pair(megabytes, lines);
  auto it = files.find(key);
  if (it != files.end()) return it->second;
  static std::string dir = [] {
    char name[] = "/tmp/quorlen_benchXXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    return std::string(name);
  }();
  // Only the file is kept: large texts left in memory would sit next to the
  // record's arrays and change how the allocator can grow them.
  bench_file f;
  const std::string text =
      quorlen_bench::generate_config(megabytes * 1000 * 1000, lines);
  f.bytes = text.size();
  f.lines = quorlen_bench::count_lines(text);
  f.path = dir + "/" + std::to_string(megabytes) + "mb_" +
           std::to_string(lines) + "lines.cfg";
  std::ofstream(f.path, std::ios::binary) << text;
  return files.emplace(key, std::move(f)).first->second;
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void release(camera_setup& s) {
  for (std::uint32_t i = 0; i < s.control_count; ++i)
    std::free(s.controls[i].code);
  std::free(s.controls);
  std::free(s.entries);
}

// Lines of each file by its "megabytes/lines" arguments, for the reporter.
std::map<std::string, std::size_t>& lines_of() {
  static std::map<std::string, std::size_t> lines;
  return lines;
}

void set_counters(benchmark::State& state, const bench_file& f) {
  lines_of()[std::to_string(state.range(0)) + "/" +
             std::to_string(state.range(1))] = f.lines;
  const auto runs = static_cast<double>(state.iterations());
  state.SetBytesProcessed(
      static_cast<std::int64_t>(runs * static_cast<double>(f.bytes)));
  const double lines = runs * static_cast<double>(f.lines);
  state.counters["lines/s"] =
      benchmark::Counter(lines, benchmark::Counter::kIsRate);
}

const bench_file& file_of(const benchmark::State& state) {
  return file_for(static_cast<std::size_t>(state.range(0)),
                  static_cast<std::size_t>(state.range(1)));
}

// One run of each contender over a file: the benchmarks below repeat
// them, and the paired measurement alternates them.
void run_floor(const bench_file& f) {
  std::FILE* file = std::fopen(f.path.c_str(), "r");
  char line[200];
  std::size_t count = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) ++count;
  std::fclose(file);
  benchmark::DoNotOptimize(count);
}

void run_product(const bench_file& f) {
  camera_setup setup{};
  benchmark::DoNotOptimize(quorlen_parse_config(f.path.c_str(), &setup));
  release(setup);
}

// The entries a parse of the file stores.
std::uint32_t entries_of(const bench_file& f) {
  camera_setup counted{};
  quorlen_parse_config(f.path.c_str(), &counted);
  const std::uint32_t entries = counted.entry_count;
  release(counted);
  return entries;
}

void floor_fgets(benchmark::State& state) {
  const bench_file& f = file_of(state);
  for (auto _ : state) run_floor(f);
  set_counters(state, f);
}

void product(benchmark::State& state) {
  const bench_file& f = file_of(state);
  long before = allocations;
  for (auto _ : state) run_product(f);
  set_counters(state, f);
  state.counters["allocs/parse"] = static_cast<double>(allocations - before) /
                                   static_cast<double>(state.iterations());
}

// What the record alone costs, with no file and no parsing: the same 72
// bytes written per entry, into the array as the parse grows it, or into
// one allocation of the final size.  The second is a bound under any
// parser that fills a new record.
void fill_record(benchmark::State& state, bool grow_as_parse) {
  const bench_file& f = file_of(state);
  const std::uint32_t entries = entries_of(f);
  for (auto _ : state) {
    camera_setup setup{};
    quorlen::setup_context context(&setup);
    if (!grow_as_parse) {
      setup.entries = static_cast<register_entry*>(
          std::malloc((std::size_t{entries} + 100) * sizeof(register_entry)));
    }
    for (std::uint32_t n = 1; n <= entries; ++n) {
      register_entry* entry;
      if (grow_as_parse) {
        quorlen::append_entry(context, &entry);
      } else {
        entry = &setup.entries[n - 1];
      }
      std::memset(entry, 0, sizeof(register_entry));
      entry->entry_type = n;
    }
    benchmark::DoNotOptimize(setup.entries);
    std::free(setup.entries);
  }
  set_counters(state, f);
}

void record_only(benchmark::State& state) { fill_record(state, true); }
void fresh_record(benchmark::State& state) { fill_record(state, false); }

// The floor's loop plus one allocation of the record's final size, with
// each entry written once as its line goes by: what no parser that fills a
// new record can beat.
void run_limit_c(const bench_file& f, std::uint32_t entries) {
  const std::size_t room = (std::size_t{entries} / 100 + 1) * 100;
  auto* array =
      static_cast<register_entry*>(std::malloc(room * sizeof(register_entry)));
  std::FILE* file = std::fopen(f.path.c_str(), "r");
  char line[200];
  std::uint32_t n = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (n < entries) {
      std::memset(&array[n], 0, sizeof(register_entry));
      array[n].entry_type = n;
      ++n;
    }
  }
  std::fclose(file);
  benchmark::DoNotOptimize(array);
  benchmark::ClobberMemory();
  std::free(array);
}

void limit_c(benchmark::State& state) {
  const bench_file& f = file_of(state);
  const std::uint32_t entries = entries_of(f);
  for (auto _ : state) run_limit_c(f, entries);
  set_counters(state, f);
}

void parse_text(benchmark::State& state) {
  const bench_file& f = file_of(state);
  const std::string text = read_all(f.path);
  for (auto _ : state) {
    camera_setup setup{};
    benchmark::DoNotOptimize(quorlen::parse_into(
        &setup, [&](quorlen::entry_handler handler, void* user) {
          return quorlen::parse_text(text.c_str(), handler, user);
        }));
    release(setup);
  }
  set_counters(state, f);
}

// What a user would otherwise write by hand: getline, trim, split, and keep
// every (section, name, value).
std::string trimmed(const std::string& s) {
  const char* space = " \t\r\n";
  std::size_t start = s.find_first_not_of(space);
  if (start == std::string::npos) return "";
  return s.substr(start, s.find_last_not_of(space) - start + 1);
}

void run_peer(const bench_file& f) {
  std::ifstream in(f.path);
  std::vector<std::tuple<std::string, std::string, std::string>> items;
  std::string line, section;
  while (std::getline(in, line)) {
    std::string text = trimmed(line);
    if (text.empty() || text[0] == ';' || text[0] == '#' ||
        text.compare(0, 2, "//") == 0) {
      continue;
    }
    if (text[0] == '[') {
      section = text.substr(1, text.find(']') - 1);
      continue;
    }
    std::size_t separator = text.find_first_of("=:");
    if (separator == std::string::npos) continue;
    std::string value = text.substr(separator + 1);
    std::size_t comment = value.find(" ;");
    if (comment != std::string::npos) value.erase(comment);
    items.emplace_back(section, trimmed(text.substr(0, separator)),
                       trimmed(value));
  }
  benchmark::DoNotOptimize(items.data());
}

void peer(benchmark::State& state) {
  const bench_file& f = file_of(state);
  for (auto _ : state) run_peer(f);
  set_counters(state, f);
}

// This machine's speed changes in phases that last from a fraction of a
// second to seconds, and two benchmarks run apart may fall in different
// ones.  Runs of a and b alternate here, so each pair sees the same phase;
// the median of the pairs' ratios (time of a / time of b) is kept.
template <class A, class B>
double paired_ratio(int pairs, A&& a, B&& b) {
  using clock = std::chrono::steady_clock;
  std::vector<double> ratios;
  a();  // once each before timing: files cached, allocator warmed
  b();
  for (int i = 0; i < pairs; ++i) {
    const auto t0 = clock::now();
    a();
    const auto t1 = clock::now();
    b();
    const auto t2 = clock::now();
    ratios.push_back(std::chrono::duration<double>(t1 - t0).count() /
                     std::chrono::duration<double>(t2 - t1).count());
  }
  std::sort(ratios.begin(), ratios.end());
  return ratios[ratios.size() / 2];
}

void sizes(benchmark::internal::Benchmark* b) {
  for (long mb : {1, 10, 50}) b->Args({mb, 0});
}
void line_counts(benchmark::internal::Benchmark* b) {
  for (long lines : {10000, 100000, 1000000, 4000000}) b->Args({0, lines});
}

BENCHMARK(floor_fgets)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(limit_c)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(product)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(parse_text)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(record_only)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(fresh_record)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(peer)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(floor_fgets)->Apply(line_counts)->Unit(benchmark::kMillisecond);
BENCHMARK(product)->Apply(line_counts)->Unit(benchmark::kMillisecond);
BENCHMARK(record_only)->Apply(line_counts)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration, to print the ratios at the end.
class ratio_reporter : public benchmark::ConsoleReporter {
 public:
  ratio_reporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the run: this machine's
    // timings vary by a fifth from one run to the next.
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        times_.emplace(run.run_name.str(), run.GetAdjustedRealTime());
      } else if (run.aggregate_name == "median") {
        times_[run.run_name.str()] = run.GetAdjustedRealTime();
        const auto counter = run.counters.find("allocs/parse");
        if (counter != run.counters.end()) {
          allocations_[run.run_name.str()] = counter->second.value;
        }
      }
    }
  }
  void print_ratios() const {
    std::printf(
        "\nratios (time of the first / time of the second; "
        "throughput ratio is the inverse)\n");
    for (const char* size : {"1/0", "10/0", "50/0"}) {
      std::string s = size;
      double floor = time("floor_fgets/" + s);
      double prod = time("product/" + s);
      double text = time("parse_text/" + s);
      double hand = time("peer/" + s);
      if (floor <= 0 || prod <= 0 || text <= 0 || hand <= 0) continue;
      std::printf(
          "%5s MB: product/floor throughput %.2f, parse_text/floor %.2f, "
          "product/peer throughput %.2f, record alone %.0f%% of product\n",
          s.substr(0, s.find('/')).c_str(), floor / prod, floor / text,
          hand / prod, 100.0 * time("record_only/" + s) / prod);
      const double fresh = time("fresh_record/" + s);
      const double limit = time("limit_c/" + s);
      if (fresh > 0 && limit > 0) {
        std::printf(
            "         product/limit C throughput %.2f; fresh record memory "
            "alone: %.2f of the floor's time\n",
            limit / prod, fresh / floor);
      }
    }
    print_cost_per_line();
    print_targets();
  }

  // The goals, each figure from this run: first as the benchmarks above
  // give them, then from alternating runs, which this machine's phases of
  // speed do not skew.
  void print_targets() const {
    std::printf("\ntargets (this run)\n");
    std::printf(
        "  product/limit C time, 50 MB: %.2f (at most 1.5 with "
        "GLIBC_TUNABLES=glibc.malloc.hugetlb=1)\n",
        ratio("product/50/0", "limit_c/50/0"));
    std::printf("  product/peer throughput, 1, 10, 50 MB: %.2f %.2f %.2f\n",
                ratio("peer/1/0", "product/1/0"),
                ratio("peer/10/0", "product/10/0"),
                ratio("peer/50/0", "product/50/0"));
    std::printf(
        "  product/floor per line, 10000 and 100000 entries: %.2f %.2f\n",
        ratio("product/0/10000", "floor_fgets/0/10000"),
        ratio("product/0/100000", "floor_fgets/0/100000"));
    print_paired_targets();
    for (const auto& [name, count] : allocations_) {
      const auto it = lines_of().find(name.substr(name.find('/') + 1));
      if (it == lines_of().end() || it->second == 0) continue;
      std::printf("  allocations per parse, %s: %.0f (%.5f a line)\n",
                  name.c_str(), count, count / static_cast<double>(it->second));
    }
  }

  // Each pair is measured only where its benchmarks ran, so a filtered
  // run stays short.
  void print_paired_targets() const {
    std::printf("  alternating runs, median of the pairs' ratios:\n");
    const auto have = [&](const std::string& a, const std::string& b) {
      return time(a) > 0 && time(b) > 0;
    };
    if (have("limit_c/50/0", "product/50/0")) {
      const bench_file& f = file_for(50, 0);
      const std::uint32_t entries = entries_of(f);
      std::printf(
          "    product/limit C time, 50 MB: %.2f\n",
          paired_ratio(
              7, [&] { run_product(f); }, [&] { run_limit_c(f, entries); }));
    }
    std::printf("    product/peer throughput:");
    for (const std::size_t mb :
         {std::size_t{1}, std::size_t{10}, std::size_t{50}}) {
      const std::string s = std::to_string(mb) + "/0";
      if (!have("peer/" + s, "product/" + s)) continue;
      const bench_file& f = file_for(mb, 0);
      std::printf(
          " %zu MB %.2f", mb,
          paired_ratio(
              mb == 1 ? 30 : 7, [&] { run_peer(f); }, [&] { run_product(f); }));
    }
    std::printf("\n    product/floor per line:");
    for (const std::size_t lines : {std::size_t{10000}, std::size_t{100000}}) {
      const std::string s = "0/" + std::to_string(lines);
      if (!have("product/" + s, "floor_fgets/" + s)) continue;
      const bench_file& f = file_for(0, lines);
      std::printf(" %zu entries %.2f", lines,
                  paired_ratio(
                      lines == 10000 ? 2000 : 300, [&] { run_product(f); },
                      [&] { run_floor(f); }));
    }
    std::printf("\n");
  }

  // ns a line for the line-count series; "parse" is the product less the
  // record_only run, i.e. what is not the record's memory.
  void print_cost_per_line() const {
    std::printf("\ncost per line (ns)\n%9s %7s %8s %8s %7s %11s %9s\n", "lines",
                "floor", "product", "record", "parse", "product/10k",
                "parse/10k");
    double first_product = 0, first_parse = 0;
    for (const char* count : {"10000", "100000", "1000000", "4000000"}) {
      const std::string s = std::string("0/") + count;
      const auto it = lines_of().find(s);
      const double prod = time("product/" + s);
      if (it == lines_of().end() || prod <= 0) continue;
      const double per_ms = 1e6 / static_cast<double>(it->second);
      const double product_ns = prod * per_ms;
      const double record_ns = time("record_only/" + s) * per_ms;
      const double parse_ns = product_ns - record_ns;
      if (first_product == 0) {
        first_product = product_ns;
        first_parse = parse_ns;
      }
      std::printf("%9s %7.1f %8.1f %8.1f %7.1f %11.2f %9.2f\n", count,
                  time("floor_fgets/" + s) * per_ms, product_ns, record_ns,
                  parse_ns, product_ns / first_product, parse_ns / first_parse);
    }
  }

 private:
  double time(const std::string& name) const {
    auto it = times_.find(name);
    return it != times_.end() ? it->second : 0.0;
  }
  double ratio(const std::string& first, const std::string& second) const {
    const double below = time(second);
    return below > 0 ? time(first) / below : 0.0;
  }
  std::map<std::string, double> times_;
  std::map<std::string, double> allocations_;
};

// One parse of the file; prints the peak resident size beyond the start
// and beyond the record's own arrays.
int peak_rss(const char* path) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long start_kb = usage.ru_maxrss;
  camera_setup setup{};
  int result = quorlen_parse_config(path, &setup);
  getrusage(RUSAGE_SELF, &usage);
  const long peak_kb = usage.ru_maxrss;
  std::size_t room =
      setup.entry_count == 0 ? 0 : (setup.entry_count / 100 + 1) * 100;
  std::size_t record = room * sizeof(register_entry) +
                       setup.control_count * sizeof(control_entry);
  for (std::uint32_t i = 0; i < setup.control_count; ++i) {
    if (setup.controls[i].code != nullptr) {
      record += std::strlen(setup.controls[i].code) + 1;
    }
  }
  std::printf("peak RSS: result %d, %u entries, %u controls\n", result,
              setup.entry_count, setup.control_count);
  std::printf("  at start %ld KiB, after the parse %ld KiB\n", start_kb,
              peak_kb);
  std::printf("  record's own arrays %zu KiB\n", record / 1024);
  std::printf("  beyond the record: %ld KiB\n",
              peak_kb - start_kb - static_cast<long>(record / 1024));
  release(setup);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--peak-rss") == 0) {
    return peak_rss(argv[2]);
  }
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
    std::string text = quorlen_bench::generate_config(
        std::strtoul(argv[3], nullptr, 10) * 1000 * 1000, 0);
    std::ofstream(argv[2], std::ios::binary) << text;
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
