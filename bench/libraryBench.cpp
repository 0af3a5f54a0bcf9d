// SPDX-License-Identifier: MIT
// In-process comparison (Google Benchmark): the task "every a with its href and text" done
// by Kestrune's one call, kestrune::extract(), and by each peer library found when this was
// built, on every page of the corpus folders and on the generated worst cases, all in this
// one process.
//
//   kestrune_library_bench [--quick] [--select] [BENCHMARK FLAGS] [FOLDER_OR_PAGE...]
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
//                      call in a child process forked before any engine ran here). A
//                      page the engine refuses is reported as an error, "refused".
//   kestrune-936/PAGE  the same call asking for code page 936, on the pages it converts
//                      before it reads them (UTF-8 with a byte from 0x80); same counters.
//   threads/kestrune   every corpus page the library reads once per iteration in each of
//                      1, 2 and 4 threads: bytes_per_second is the throughput of all
//                      threads together.
//   TASK/ENGINE/PAGE   with --select, on the corpus pages of 1 MiB or more and the
//                      realistic worst case: "links/kestrune" (the a elements, as above),
//                      then "div-links" (div a[href]) and "odd-item-links"
//                      (li:nth-child(2n+1) > a) for each engine, which selects with its
//                      own means (peers.h); no memory, no threads. The links each engine
//                      finds on each page are listed on standard error first.
// Peers skip the worst cases where one of them takes many minutes or gives up:
// stress-deep-*, stress-*handback* (gumbo) and stress-one-tag-many-attributes (libxml2).
// --quick: a minimum time of 0.05 s; the peers leave out their memory and every worst
// case but the realistic page.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "html/documentStorage.h"
#include "peers.h"
#include "runPlan.h"

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

// Whether a call asking for code page 936 converts the page before it reads it: the
// library's own test, on the same scan of the page.
bool convertedFor936(const std::string& bytes) {
    kestrune::TextScan scan;
    kestrune::scanForReading(scan, bytes.data(), bytes.size(), 936);
    return scan.facts().length != 0 && kestrune::needsConversion(scan.facts(), 936);
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

// Makes every page of the files the process maps (its code and its libraries) resident.
// The kernel reads such pages in as they are first used and the resident size counts
// them, but they are not memory a call adds. Where the kernel lacks MADV_POPULATE_READ
// (before Linux 5.14), they stay as they are.
void mapFilesIn() {
#ifdef MADV_POPULATE_READ
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode >> path;
        if (path.empty() || path[0] != '/' || perms[0] != 'r') continue;
        const std::size_t dash = range.find('-');
        const auto from = std::stoull(range.substr(0, dash), nullptr, 16);
        const auto to = std::stoull(range.substr(dash + 1), nullptr, 16);
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_READ);
    }
#endif
}

// Resets the peak to the present resident size; false where that is not possible.
bool resetPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// One case: an engine on a page, with what its first run found.
struct Case {
    const kbench::Engine* engine;
    const Page* page;
    kbench::Task task = kbench::Task::Links;
    std::string name;
    bool measureMemory = true;
    bool firstRunDone = false;
    double memory = -1;  // memoryPerPageByte; < 0: unknown
    bool refused = false;
};

// The peak memory one call adds, divided by the page size; negative when unknown. The
// call runs in a child process forked before any engine has run in this one, so that no
// memory an earlier call freed (and the heap kept) can take in what this call needs: the
// child starts with the pages read and nothing else, runs the engine once on a tiny page
// and maps its files in whole (what the process sets up once is not the call's), resets
// its peak and makes the call (in a thread of its own, so that state an engine keeps per
// thread is counted too).
double memoryPerPageByte(const kbench::Engine& engine, const Page& page) {
    if (page.bytes.empty()) return -1;
    int channel[2];
    if (::pipe(channel) != 0) return -1;
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::close(channel[0]);
        // What the process sets up once (tables, converters) is not the call's. The page
        // is UTF-8 with a letter from U+0080, so that a converter is set up too.
        {
            kbench::LinkSink warmUp;
            engine.run("<html><body><a href=\"x\">x \xC3\xA9</a></body></html>",
                       kbench::Task::Links, warmUp);
        }
        mapFilesIn();
        double ratio = -1;
        if (resetPeak()) {
            const long before = peakKib();
            std::thread([&] {
                kbench::LinkSink sink;
                engine.run(page.bytes, kbench::Task::Links, sink);
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

// The first run of a case: whether the engine refuses the page, and what it finds.
std::size_t runFirst(Case& c) {
    kbench::LinkSink sink;
    c.engine->run(c.page->bytes, c.task, sink);
    c.refused = sink.refused;
    c.firstRunDone = true;
    return sink.links;
}

// A page the engine refuses is reported as refused, never timed.
void runPage(benchmark::State& state, Case* c) {
    if (!c->firstRunDone) runFirst(*c);
    if (c->refused) {
        state.SkipWithError("refused");
        return;
    }
    kbench::LinkSink sink;
    for (auto _ : state) {
        sink = {};
        c->engine->run(c->page->bytes, c->task, sink);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c->page->bytes.size()));
    state.SetItemsProcessed(state.iterations());
    state.counters["links"] = static_cast<double>(sink.links);
    if (c->memory >= 0) state.counters["memory"] = c->memory;
}

// Bytes per second of each engine from one run on the corpus page nearest 1 MiB: what
// the duration is estimated from.
std::vector<double> calibrate(const std::vector<Page>& pages) {
    const Page* chosen = nullptr;
    const auto distance = [](const Page& p) {
        return std::abs(static_cast<double>(p.bytes.size()) - 1048576.0);
    };
    for (const Page& page : pages)
        if (!page.stress && (chosen == nullptr || distance(page) < distance(*chosen)))
            chosen = &page;
    std::vector<double> rates;
    if (chosen == nullptr) chosen = &pages.front();
    std::cerr << "one run of each engine on " << chosen->name << " (" << chosen->bytes.size() / 1024
              << " KiB):";
    for (const kbench::Engine& engine : kbench::engines()) {
        kbench::LinkSink sink;
        const auto start = std::chrono::steady_clock::now();
        engine.run(chosen->bytes, kbench::Task::Links, sink);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rates.push_back(static_cast<double>(chosen->bytes.size() + 1) / std::max(seconds, 1e-6));
        std::cerr << " " << engine.name << " " << kbench::describeSeconds(seconds);
    }
    std::cerr << "\n";
    return rates;
}

void runBatch(benchmark::State& state, const kbench::Engine* engine,
              const std::vector<const Page*>* batch) {
    std::size_t bytes = 0;
    for (const Page* page : *batch) bytes += page->bytes.size();
    for (auto _ : state) {
        for (const Page* page : *batch) {
            kbench::LinkSink sink;
            engine->run(page->bytes, kbench::Task::Links, sink);
            benchmark::DoNotOptimize(sink.bytes);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch->size()));
}

// Takes the flag out of the arguments; whether it was there.
bool takeFlag(int& argc, char** argv, std::string_view flag) {
    const auto end = std::remove_if(argv + 1, argv + argc, [&](char* a) { return a == flag; });
    const bool found = end != argv + argc;
    argc = static_cast<int>(end - argv);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    kbench::RunPlan plan(argc, argv);
    const bool selectors = takeFlag(argc, argv, "--select");
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

    const bool peersEverywhere = std::getenv("KBENCH_PEERS_ON_ALL") != nullptr;
    static std::vector<Case> cases;
    for (const Page& page : pages) {
        if (selectors) {
            if (page.stress ? page.name != "stress-realistic" : page.bytes.size() < (1U << 20))
                continue;
            for (const kbench::TaskInfo& task : kbench::tasks()) {
                for (const kbench::Engine& engine : kbench::engines()) {
                    const std::string name =
                        std::string(task.name) + "/" + engine.name + "/" + page.name;
                    if (task.task == kbench::Task::Links && engine.name != std::string("kestrune"))
                        continue;
                    if (plan.selected(name)) cases.push_back({&engine, &page, task.task, name});
                }
            }
            continue;
        }
        for (const kbench::Engine& engine : kbench::engines()) {
            const bool kestrune = std::string(engine.name) == "kestrune";
            const bool tooSlow = page.name.rfind("stress-deep-", 0) == 0 ||
                                 page.name.find("handback") != std::string::npos ||
                                 page.name == "stress-one-tag-many-attributes";
            if (!kestrune && !peersEverywhere && page.stress && tooSlow) continue;
            // A quick run leaves out the peers' memory and their worst cases but one.
            if (!kestrune && plan.quick() && page.stress && page.name != "stress-realistic")
                continue;
            const std::string name = std::string(engine.name) + "/" + page.name;
            if (!plan.selected(name)) continue;
            cases.push_back({&engine, &page, kbench::Task::Links, name, kestrune || !plan.quick()});
        }
        const std::string converted = std::string(kbench::kestrune936().name) + "/" + page.name;
        if (convertedFor936(page.bytes) && plan.selected(converted))
            cases.push_back({&kbench::kestrune936(), &page, kbench::Task::Links, converted});
    }
    // Every memory measurement before any engine runs in this process (see
    // memoryPerPageByte).
    for (Case& c : cases)
        if (c.measureMemory && !selectors) c.memory = memoryPerPageByte(*c.engine, *c.page);
    // What each engine selects on each page, to be compared before anything is timed: the
    // trees of the parsers differ, so the numbers may too.
    if (selectors) {
        for (Case& c : cases) {
            const std::size_t links = runFirst(c);
            std::cerr << c.name << ": " << (c.refused ? "refused" : std::to_string(links))
                      << " links\n";
        }
    }
    const std::vector<double> rates = calibrate(pages);
    for (const Case& c : cases) {
        // Kestrune's rate for the code page variant.
        const auto e = c.engine == &kbench::kestrune936()
                           ? 0
                           : static_cast<std::size_t>(c.engine - kbench::engines().data());
        plan.add(c.name, static_cast<double>(c.page->bytes.size()) / rates[e] *
                             (c.measureMemory && !selectors ? 2 : 1));
    }
    for (Case& c : cases) {
        benchmark::RegisterBenchmark(c.name.c_str(), runPage, &c)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    // The threads' batch: every corpus page the library reads.
    static std::vector<const Page*> batch;
    const kbench::Engine* kestrune = kbench::findEngine("kestrune");
    double batchBytes = 0;
    for (const Page& page : pages) {
        if (selectors) break;
        kbench::LinkSink sink;
        if (!page.stress && plan.selected("threads/kestrune"))
            kestrune->run(page.bytes, kbench::Task::Links, sink);
        if (!page.stress && !sink.refused) batch.push_back(&page);
        if (!page.stress && !sink.refused) batchBytes += static_cast<double>(page.bytes.size());
    }
    if (!batch.empty() && plan.selected("threads/kestrune")) {
        benchmark::RegisterBenchmark("threads/kestrune", runBatch, kestrune, &batch)
            ->Threads(1)
            ->Threads(2)
            ->Threads(4)
            ->UseRealTime()
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond);
        const double cores = std::max(1U, std::thread::hardware_concurrency());
        for (int threads : {1, 2, 4})
            plan.add("threads/kestrune:" + std::to_string(threads),
                     batchBytes / rates.front() * std::max(1.0, threads / cores));
    }
    return plan.run(fs::path(KBENCH_GENERATOR).parent_path().string());
}
