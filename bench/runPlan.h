// SPDX-License-Identifier: MIT
// A Google Benchmark run as its user sees it: how long it will take, stated at the start
// from an estimate of each benchmark's iteration; progress on standard error as each benchmark
// ends; the JSON file (--benchmark_out) written as it goes, so that a run cut short leaves what it
// had measured; and --quick, a short minimum time for a run of a few minutes.
#pragma once

#include <string>
#include <vector>

namespace kbench {

class RunPlan {
  public:
    // Takes --quick out of the arguments (a minimum time of 0.05 s unless one is given),
    // then hands them to benchmark::Initialize, which leaves the ones it does not know.
    RunPlan(int& argc, char** argv);

    bool quick() const { return quick_; }
    // Whether --benchmark_filter lets the benchmark of this name run.
    bool selected(const std::string& name) const;
    // A benchmark that will run, registered in this order, and the seconds one of its
    // iterations should take (work done once before the iterations counted in).
    void add(std::string name, double iterationSeconds);
    // States the expected duration, runs the benchmarks and returns the exit status. The
    // JSON names the commit of `sourceDir`, the CPU, the mode and the planned benchmarks.
    int run(const std::string& sourceDir);

  private:
    struct Planned {
        std::string name;
        double seconds;  // the estimated duration of the benchmark
    };
    bool quick_ = false;
    double minTime_ = 0.5;
    int repetitions_ = 1;
    std::string out_;
    bool jsonOut_ = true;
    std::vector<Planned> planned_;
};

// "850 ms", "12 s", "3 min 20 s".
std::string describeSeconds(double seconds);

}  // namespace kbench
