// SPDX-License-Identifier: MIT
// In-process comparison (Google Benchmark): the task "every a with its href and text" done
// by Kestrune's one call, kestrune::extract(), and by each peer library found when this was
// built, on every page of the corpus folders and on the generated worst cases, all in this
// one process.
//
//   kestrune_library_bench [BENCHMARK FLAGS] [FOLDER_OR_PAGE...]
//
// Pages: the arguments left after Google Benchmark's flags, else $KESTRUNE_BENCH_CORPUS,
// else the shared corpus beside the checkout; plus the worst cases in $KESTRUNE_BENCH_STRESS
// ("off" leaves them out), else in stress/ of this build folder, made there by
// bench/genStress.py the first time (the realistic one from the first corpus folder).
//
// Benchmarks:
//   ENGINE/PAGE        one page per iteration. Counters: bytes_per_second (page bytes),
//                      items_per_second (pages), links (found on the page), memory (the
//                      peak resident memory one call adds, divided by the page size: a
//                      call in a child process forked before any engine ran here).
//   threads/kestrune   every corpus page once per iteration in each of 1, 2 and 4 threads:
//                      bytes_per_second is the throughput of all threads together.
// Peers skip the worst cases where one of them takes many minutes or gives up:
// stress-deep-*, stress-*handback* (gumbo) and stress-one-tag-many-attributes (libxml2).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "peers.h"

namespace {

namespace fs = std::filesystem;

struct Page {
    std::string name;
    std::string bytes;
    bool stress = false;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool isPage(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".html" || extension == ".htm";
}

// Adds the pages of a folder (sorted by name) or a single page.
void addPages(const fs::path& place, bool stress, std::vector<Page>& pages) {
    std::vector<fs::path> found;
    if (fs::is_directory(place)) {
        for (const auto& entry : fs::directory_iterator(place))
            if (entry.is_regular_file() && isPage(entry.path())) found.push_back(entry.path());
        std::sort(found.begin(), found.end());
    } else if (fs::is_regular_file(place)) {
        found.push_back(place);
    } else {
        std::cerr << "note: " << place << " not found, skipped\n";
    }
    for (const fs::path& path : found)
        pages.push_back({path.stem().string(), readFile(path), stress});
}

// The worst cases' folder; the realistic page is made from the corpus pages given.
fs::path stressFolder(const std::string& corpus) {
    const char* chosen = std::getenv("KESTRUNE_BENCH_STRESS");
    if (chosen != nullptr && std::string(chosen) == "off") return {};
    const fs::path folder = chosen != nullptr ? fs::path(chosen) : fs::path(KBENCH_STRESS_DIR);
    if (!fs::exists(folder / "stress-deep-div.html")) {
        std::cerr << "making the worst cases in " << folder << " (bench/genStress.py)\n";
        const std::string command = std::string(KBENCH_PYTHON) + " " + KBENCH_GENERATOR + " " +
                                    folder.string() + " --corpus " + corpus;
        if (std::system(command.c_str()) != 0)
            std::cerr << "note: the worst cases could not be made\n";
    }
    return folder;
}

// Peak resident memory, in KiB, since the last reset (Linux: VmHWM).
long peakKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Resets the peak to the present resident size; false where that is not possible.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// The peak memory one call adds, divided by the page size; negative when unknown. The
// call runs in a child process forked before any engine has run in this one, so that no
// memory an earlier call freed (and the heap kept) can take in what this call needs: the
// child starts with the pages read and nothing else, runs the engine once on a tiny page
// (what the process sets up once is not the call's), resets its peak and makes the call
// (in a thread of its own, so that state an engine keeps per thread is counted too).
double memoryPerPageByte(const kbench::Engine& engine, const Page& page) {
    if (page.bytes.empty()) return -1;
    int channel[2];
    if (::pipe(channel) != 0) return -1;
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::close(channel[0]);
        // What the process sets up once (tables, converters) is not the call's.
        {
            kbench::LinkSink warmUp;
            engine.run("<html><body><a href=\"x\">x</a></body></html>", warmUp);
        }
        double ratio = -1;
        if (resetPeak()) {
            const long before = peakKib();
            std::thread([&] {
                kbench::LinkSink sink;
                engine.run(page.bytes, sink);
            }).join();
            const long after = peakKib();
            if (before >= 0 && after >= 0)
                ratio = static_cast<double>(after - before) * 1024.0 /
                        static_cast<double>(page.bytes.size());
        }
        const bool written = ::write(channel[1], &ratio, sizeof ratio) == sizeof ratio;
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    double ratio = -1;
    if (::read(channel[0], &ratio, sizeof ratio) != sizeof ratio) ratio = -1;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return ratio;
}

// The memory of each benchmark's call, measured before the first benchmark runs.
struct Measured {
    const kbench::Engine* engine;
    const Page* page;
    double memory;
};

void runPage(benchmark::State& state, const Measured* measured) {
    const kbench::Engine* engine = measured->engine;
    const Page* page = measured->page;
    const double memory = measured->memory;
    kbench::LinkSink sink;
    for (auto _ : state) {
        sink = {};
        engine->run(page->bytes, sink);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->bytes.size()));
    state.SetItemsProcessed(state.iterations());
    state.counters["links"] = static_cast<double>(sink.links);
    if (memory >= 0) state.counters["memory"] = memory;
}

void runBatch(benchmark::State& state, const kbench::Engine* engine,
              const std::vector<const Page*>* batch) {
    std::size_t bytes = 0;
    for (const Page* page : *batch) bytes += page->bytes.size();
    for (auto _ : state) {
        for (const Page* page : *batch) {
            kbench::LinkSink sink;
            engine->run(page->bytes, sink);
            benchmark::DoNotOptimize(sink.bytes);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch->size()));
}

}  // namespace

int main(int argc, char** argv) {
    // --benchmark_filter, which Initialize takes away: only what runs is measured.
    std::string filter = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_filter=", 0) == 0) filter = arg.substr(19);
    }
    const bool negated = !filter.empty() && filter[0] == '-';
    const std::regex pattern(negated ? filter.substr(1) : filter);
    auto wanted = [&](const std::string& name) {
        return std::regex_search(name, pattern) != negated;
    };
    benchmark::Initialize(&argc, argv);
    static std::vector<Page> pages;
    const char* chosen = std::getenv("KESTRUNE_BENCH_CORPUS");
    std::string corpus = argc > 1 ? argv[1] : chosen != nullptr ? chosen : KBENCH_DEFAULT_CORPUS;
    for (int i = 1; i < argc; ++i) addPages(argv[i], false, pages);
    if (argc == 1) addPages(corpus, false, pages);
    const fs::path stress = stressFolder(corpus);
    if (!stress.empty()) {
        std::vector<Page> worst;
        addPages(stress, true, worst);
        for (Page& page : worst)
            if (page.name.rfind("stress-", 0) == 0) pages.push_back(std::move(page));
    }
    if (pages.empty()) {
        std::cerr << "no pages: name a folder of HTML pages\n";
        return 2;
    }

    static std::vector<const Page*> batch;
    for (const Page& page : pages)
        if (!page.stress) batch.push_back(&page);
    const bool peersEverywhere = std::getenv("KBENCH_PEERS_ON_ALL") != nullptr;
    static std::vector<Measured> measured;
    for (const Page& page : pages) {
        for (const kbench::Engine& engine : kbench::engines()) {
            const bool kestrune = std::string(engine.name) == "kestrune";
            const bool tooSlow = page.name.rfind("stress-deep-", 0) == 0 ||
                                 page.name.find("handback") != std::string::npos ||
                                 page.name == "stress-one-tag-many-attributes";
            if (!kestrune && !peersEverywhere && page.stress && tooSlow) continue;
            measured.push_back({&engine, &page, 0});
        }
    }
    // Every measurement before any benchmark (the vector stays as it is from here on).
    for (Measured& m : measured) {
        const std::string name = std::string(m.engine->name) + "/" + m.page->name;
        if (!wanted(name + "/real_time")) continue;
        m.memory = memoryPerPageByte(*m.engine, *m.page);
    }
    for (const Measured& m : measured) {
        benchmark::RegisterBenchmark((std::string(m.engine->name) + "/" + m.page->name).c_str(),
                                     runPage, &m)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    if (!batch.empty()) {
        benchmark::RegisterBenchmark("threads/kestrune", runBatch, kbench::findEngine("kestrune"),
                                     &batch)
            ->Threads(1)
            ->Threads(2)
            ->Threads(4)
            ->UseRealTime()
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
