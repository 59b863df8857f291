// Spinner frames and page rendering against a plain copy of the same frame. Absolute times are
// noise on shared machines; the ratios printed at the end (median CPU times) are the figures
// that count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "ui/layout.h"
#include "ui/page.h"

namespace {

using vaq::ScaleDpi;

struct Frame {
  vaq::Surface page;
  vaq::Surface frame;
  explicit Frame(int dpi) {
    const int w = ScaleDpi(496, dpi);
    const int h = ScaleDpi(328, dpi);
    page.Create(w, h);
    frame.Create(w, h);
    vaq::RenderCard(page, vaq::ComputePageLayout(w, h, dpi, false));
  }
  size_t Bytes() const { return size_t(page.Width()) * size_t(page.Height()) * 4; }
};

void MemcpyFrame(benchmark::State& state) {
  Frame f(int(state.range(0)));
  for (auto _ : state) {
    std::memcpy(f.frame.Pixels(), f.page.Pixels(), f.Bytes());
    benchmark::DoNotOptimize(f.frame.Pixels());
    benchmark::ClobberMemory();
  }
}

void SpinnerFrame(benchmark::State& state) {
  const int dpi = int(state.range(0));
  Frame f(dpi);
  int step = 0;
  for (auto _ : state) {
    std::memcpy(f.frame.Pixels(), f.page.Pixels(), f.Bytes());
    vaq::DrawProgressBar(f.frame, dpi, step);
    step = (step + 1) % 72;
    benchmark::DoNotOptimize(f.frame.Pixels());
    benchmark::ClobberMemory();
  }
}

void RenderCard(benchmark::State& state) {
  const int dpi = int(state.range(0));
  Frame f(dpi);
  const vaq::PageLayout layout = vaq::ComputePageLayout(f.page.Width(), f.page.Height(), dpi, false);
  for (auto _ : state) {
    vaq::RenderCard(f.page, layout);
    benchmark::DoNotOptimize(f.page.Pixels());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(MemcpyFrame)->Arg(96)->Arg(144)->Arg(192);
BENCHMARK(SpinnerFrame)->Arg(96)->Arg(144)->Arg(192);
BENCHMARK(RenderCard)->Arg(96)->Arg(192);

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // CPU time: other work on a shared machine inflates wall time unevenly between runs. With
    // repetitions the median stands for the benchmark.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        times[run.run_name.str()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.times;
  for (const char* dpi : {"96", "144", "192"}) {
    const std::string copy = std::string("MemcpyFrame/") + dpi;
    const std::string spinner = std::string("SpinnerFrame/") + dpi;
    if (t.count(copy) && t.count(spinner)) {
      std::printf("spinner frame at %s DPI: %.2f x the copy of the frame\n", dpi, t[spinner] / t[copy]);
    }
  }
  if (t.count("RenderCard/96") && t.count("RenderCard/192")) {
    std::printf("page geometry at 192 DPI: %.2f x the cost at 96 DPI (4 x the pixels)\n",
                t["RenderCard/192"] / t["RenderCard/96"]);
  }
  benchmark::Shutdown();
  return 0;
}
