// The benchmark program: registers every contender, runs them (Google Benchmark), and prints
// one table that sets ours against each other contender of the same operation and size, with
// the target ratio where there is one. Progress goes to standard error, the table to standard
// output. Google Benchmark's own flags may be given (--benchmark_filter=Fill, ...).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench.h"

namespace lumetra::bench {
namespace {

struct Result {
  double rate = 0;       // items per second
  std::string unit;      // what an item is
  std::map<std::string, double> counters;
};

// Keeps the median of each benchmark's repetitions (or its only run).
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) {
        std::fprintf(stderr, "%s: %s\n", run.run_name.str().c_str(), run.error_message.c_str());
        continue;
      }
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = run.run_name.str();
      if (!median && medians_.count(name)) continue;
      Result r;
      if (auto it = run.counters.find("items_per_second"); it != run.counters.end()) r.rate = it->second.value;
      r.unit = run.report_label;
      for (const auto& [key, counter] : run.counters) r.counters[key] = counter.value;
      if (median) medians_.insert(name);
      if (!results_.count(name)) order_.push_back(name);
      results_[name] = r;
      if (isatty(2)) std::fprintf(stderr, "\r\033[K%s", name.c_str());
    }
  }
  void Finalize() override {
    if (isatty(2)) std::fprintf(stderr, "\r\033[K");
  }

  const std::vector<std::string>& order() const { return order_; }
  const Result* find(const std::string& name) const {
    auto it = results_.find(name);
    return it == results_.end() ? nullptr : &it->second;
  }

 private:
  std::vector<std::string> order_;
  std::map<std::string, Result> results_;
  std::set<std::string> medians_;
};

// A target: ours at least `ratio` times the peer's rate (strictly more when `ahead`).
struct Target {
  const char* op;
  const char* peer;
  double ratio;
  bool ahead;
  const char* size;  // null: the usual size for primitives
};

const Target kTargets[] = {
    {"Fill_Rect32", "memset", 0.95, false, nullptr},
    {"Fill_Rect32", "pixman_fill", 1.0, true, nullptr},
    {"Fill_Rect32", "SDL_FillRect", 1.0, true, nullptr},
    {"Copy_Rect32", "memcpy", 0.95, false, nullptr},
    {"Copy_Rect32", "pixman_blt", 1.0, true, nullptr},
    {"Copy_Rect32A", "pixman_OVER", 1.5, false, nullptr},
    {"DownMip32A", "memcpy", 0.7, false, nullptr},
    {"Draw_Line32:scope", "lineRGBA", 2.5, false, nullptr},
    {"Draw_Line32:scope", "hand_Bresenham", 1.0, false, nullptr},
    {"Draw_Line32:random", "lineRGBA", 1.0, false, nullptr},
    {"Draw_Line32:random", "hand_Bresenham", 1.0, false, nullptr},
    {"Draw_Circle32:r50", "circleRGBA", 10.0, false, nullptr},
    {"Draw_Circle32:r300", "circleRGBA", 10.0, false, nullptr},
    {"Fill_Circle32:r300", "filledCircleRGBA", 3.0, false, nullptr},
    {"Draw_Curve32", "bezierRGBA", 1.0, true, nullptr},
    // The whole frame takes at most 1.3 times the hand frame's time: its rate is at least
    // 1 / 1.3 of the hand frame's.
    {"Frame", "hand_frame", 1.0 / 1.3, false, "1920x1080"},
    {"Frame", "hand_frame", 1.0 / 1.3, false, "1280x720"},
    {"Frame", "hand_frame", 1.0 / 1.3, false, "640x480"},
};

const Target* TargetFor(const std::string& op, const std::string& peer, const std::string& size) {
  for (const Target& t : kTargets)
    if (op == t.op && peer == t.peer && size == (t.size ? t.size : kTargetSize)) return &t;
  return nullptr;
}

std::string Rate(const Result& r) {
  double v = r.rate;
  const char* prefix = "";
  if (v >= 1e9) v /= 1e9, prefix = "G";
  else if (v >= 1e6) v /= 1e6, prefix = "M";
  else if (v >= 1e3) v /= 1e3, prefix = "k";
  char text[64];
  std::snprintf(text, sizeof text, "%.3g %s%s/s", v, prefix, r.unit.c_str());
  return text;
}

// "op/who/size" into its parts.
bool Split(const std::string& name, std::string& op, std::string& who, std::string& size) {
  const size_t a = name.find('/'), b = name.rfind('/');
  if (a == std::string::npos || a == b) return false;
  op = name.substr(0, a), who = name.substr(a + 1, b - a - 1), size = name.substr(b + 1);
  return true;
}

int PrintTable(const Collector& c) {
  int targets = 0, met = 0;
  std::printf("%-22s %-10s %-16s %-34s %7s %8s %s\n", "operation", "size", "ours", "peer", "ratio", "target", "met?");
  for (const std::string& name : c.order()) {
    std::string op, who, size;
    if (!Split(name, op, who, size) || who != "ours") continue;
    const Result& ours = *c.find(name);
    bool paired = false;
    for (const std::string& other : c.order()) {
      std::string op2, peer, size2;
      if (!Split(other, op2, peer, size2) || op2 != op || size2 != size || peer == "ours") continue;
      paired = true;
      const Result& theirs = *c.find(other);
      const double ratio = theirs.rate > 0 ? ours.rate / theirs.rate : 0;
      const Target* t = TargetFor(op, peer, size);
      char target[32] = "-";
      const char* verdict = "";
      if (t) {
        ++targets;
        const bool ok = t->ahead ? ratio > t->ratio : ratio >= t->ratio;
        met += ok;
        verdict = ok ? "yes" : "NO";
        std::snprintf(target, sizeof target, "%s%.2f", t->ahead ? ">" : ">=", t->ratio);
      }
      std::printf("%-22s %-10s %-16s %-34s %7.2f %8s %s\n", op.c_str(), size.c_str(), Rate(ours).c_str(),
                  (peer + " " + Rate(theirs)).c_str(), ratio, target, verdict);
    }
    if (!paired) std::printf("%-22s %-10s %-16s %-34s %7s %8s\n", op.c_str(), size.c_str(), Rate(ours).c_str(), "-", "-", "-");
    // Memory taken while frames were drawn, per frame: the target is none at all.
    if (auto it = ours.counters.find("allocations_per_frame"); it != ours.counters.end()) {
      ++targets;
      const bool ok = it->second == 0;
      met += ok;
      std::printf("%-22s %-10s %-16s %-34s %7s %8s %s\n", "Frame allocations", size.c_str(),
                  (std::to_string(static_cast<long>(std::lround(it->second))) + " per frame").c_str(), "-", "-", "0",
                  ok ? "yes" : "NO");
    }
  }
  std::printf("%d of %d targets met\n", met, targets);
  return 0;
}

}  // namespace
}  // namespace lumetra::bench

int main(int argc, char** argv) {
  using namespace lumetra::bench;
  RegisterPrimitives();
  RegisterFrames();
  // Moderate defaults for a shared machine; flags given on the command line come later and win.
  std::vector<char*> args = {argv[0]};
  static char reps[] = "--benchmark_repetitions=3", only[] = "--benchmark_report_aggregates_only=true",
              minTime[] = "--benchmark_min_time=0.1";
  args.insert(args.end(), {reps, only, minTime});
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 2;
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  return PrintTable(collector);
}
