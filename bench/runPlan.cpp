// SPDX-License-Identifier: MIT
#include "runPlan.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <string_view>
#include <utility>

namespace kbench {
namespace {

using Clock = std::chrono::steady_clock;

std::string valueOf(std::string_view argument, std::string_view flag) {
    return argument.rfind(flag, 0) == 0 ? std::string(argument.substr(flag.size())) : std::string();
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string cpuModel() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

// The console table on standard output as usual, and after each run a line on standard
// error: how far the run is and how long it still needs, the estimate scaled by how the
// runs so far kept to theirs. A benchmark of several repetitions is done in as many runs,
// one after the other or, interleaved (--benchmark_enable_random_interleaving), among the
// others' runs.
class ProgressReporter : public benchmark::ConsoleReporter {
  public:
    ProgressReporter(const std::vector<std::pair<std::string, double>>& planned, int repetitions)
        : start_(Clock::now()) {
        for (const auto& [name, seconds] : planned) {
            estimates_[name] = seconds / repetitions;
            total_ += seconds;
        }
        runs_ = planned.size() * static_cast<std::size_t>(repetitions);
    }

    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        const Run* last = nullptr;
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration) continue;
            last = &run;
            ++runsDone_;
            done_ += estimateOf(run);
        }
        if (last == nullptr) return;  // aggregates only: their runs were counted
        const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
        const double left = done_ > 0 ? (total_ - done_) * elapsed / done_ : total_ - done_;
        std::cerr << "[" << runsDone_ << "/" << runs_ << "] " << last->benchmark_name()
                  << (last->error_occurred ? " (" + last->error_message + ")" : "") << ": "
                  << describeSeconds(elapsed) << " so far, about "
                  << describeSeconds(std::max(0.0, left)) << " to go\n";
    }

  private:
    // The planned seconds of one run of the benchmark: by its registered name, or by that
    // name and its thread count ("threads/kestrune:2").
    double estimateOf(const Run& run) const {
        const std::string& name = run.run_name.function_name;
        auto found = estimates_.find(name);
        if (found == estimates_.end())
            found = estimates_.find(name + ":" + std::to_string(run.threads));
        return found == estimates_.end() ? 0 : found->second;
    }

    std::map<std::string, double> estimates_;
    std::size_t runs_ = 0, runsDone_ = 0;
    double total_ = 0, done_ = 0;
    Clock::time_point start_;
};

// The JSON file flushed after each benchmark: killed, the run leaves every finished
// benchmark in it (bench/libraryTable.py reads such a file).
class FlushingJsonReporter : public benchmark::JSONReporter {
  public:
    void ReportRuns(const std::vector<Run>& reports) override {
        JSONReporter::ReportRuns(reports);
        GetOutputStream().flush();
    }
};

}  // namespace

std::string describeSeconds(double seconds) {
    char text[64];
    if (seconds < 1)
        std::snprintf(text, sizeof text, "%.0f ms", seconds * 1e3);
    else if (seconds < 100)
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else
        std::snprintf(text, sizeof text, "%.0f min %.0f s", static_cast<double>(int(seconds) / 60),
                      static_cast<double>(int(seconds) % 60));
    return text;
}

RunPlan::RunPlan(int& argc, char** argv) {
    static char quickMinTime[] = "--benchmark_min_time=0.05";
    int quickAt = -1;
    bool minTimeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--quick") quickAt = i;
        if (std::string v = valueOf(argument, "--benchmark_min_time="); !v.empty()) {
            minTime_ = std::strtod(v.c_str(), nullptr);  // "0.5" or "0.5s"
            minTimeGiven = true;
        }
        if (std::string v = valueOf(argument, "--benchmark_repetitions="); !v.empty())
            repetitions_ = std::max(1, std::atoi(v.c_str()));
        if (std::string v = valueOf(argument, "--benchmark_out="); !v.empty()) out_ = v;
        if (std::string v = valueOf(argument, "--benchmark_out_format="); !v.empty())
            jsonOut_ = v == "json";
    }
    if (quickAt > 0) {
        quick_ = true;
        if (!minTimeGiven) {
            argv[quickAt] = quickMinTime;
            minTime_ = 0.05;
        } else {
            for (int i = quickAt; i + 1 < argc; ++i) argv[i] = argv[i + 1];
            --argc;
        }
    }
    benchmark::Initialize(&argc, argv);
}

bool RunPlan::selected(const std::string& name) const {
    std::string filter = benchmark::GetBenchmarkFilter();
    if (filter.empty() || filter == "." || filter == "all") return true;
    const bool negative = filter[0] == '-';
    if (negative) filter.erase(0, 1);
    try {
        return std::regex_search(name, std::regex(filter, std::regex::extended)) != negative;
    } catch (const std::regex_error&) {
        return true;
    }
}

void RunPlan::add(std::string name, double iterationSeconds) {
    // The first repetition finds the iteration count in steps that add up to about 1.4
    // times the minimum time (one iteration when that is longer); later ones reuse it.
    const double first = iterationSeconds >= minTime_ ? iterationSeconds : 1.4 * minTime_;
    const double later = std::max(iterationSeconds, minTime_) * (repetitions_ - 1);
    planned_.push_back({std::move(name), first + later});
}

int RunPlan::run(const std::string& sourceDir) {
    double total = 0;
    std::string names;
    std::vector<std::pair<std::string, double>> estimates;
    for (const Planned& p : planned_) {
        total += p.seconds;
        estimates.emplace_back(p.name, p.seconds);
        names += (names.empty() ? "" : ",") + p.name;
    }
    std::cerr << planned_.size() << " benchmarks, " << repetitions_
              << " repetition(s), minimum time " << minTime_ << " s" << (quick_ ? " (--quick)" : "")
              << ": expected to take about " << describeSeconds(total) << "\n";
    const std::string commit = commandOutput("git -C '" + sourceDir +
                                             "' describe --always --dirty --abbrev=7 2>/dev/null");
    benchmark::AddCustomContext("kbench_commit", commit.empty() ? "unknown" : commit);
    benchmark::AddCustomContext("kbench_cpu", cpuModel());
    benchmark::AddCustomContext("kbench_mode", quick_ ? "quick" : "full");
    benchmark::AddCustomContext("kbench_expected_seconds",
                                std::to_string(static_cast<long>(total)));
    benchmark::AddCustomContext("kbench_planned", names);
    ProgressReporter display(estimates, repetitions_);
    FlushingJsonReporter file;
    benchmark::RunSpecifiedBenchmarks(&display, !out_.empty() && jsonOut_ ? &file : nullptr);
    benchmark::Shutdown();
    return 0;
}

}  // namespace kbench
