// SPDX-License-Identifier: MIT
// kestrune_peer_run [--calls N] ENGINE PAGE: one engine of the in-process comparison as
// a program, for whole-run comparisons (bench/compare.py): reads the page, finds every
// link and prints it as HREF TAB TEXT, one a line. ENGINE is kestrune (the library's one
// call) or a peer library this build found; without arguments it lists them. With
// --calls the engine reads the page N times (the links of the last call are printed), so
// that the cost of one call is the difference of two runs (bench/instructions.py).
// Status 3: the engine refused the page.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "peers.h"

int main(int argc, char** argv) {
    long calls = 1;
    if (argc == 5 && std::strcmp(argv[1], "--calls") == 0) {
        char* end = nullptr;
        calls = std::strtol(argv[2], &end, 10);
        if (*argv[2] == '\0' || *end != '\0' || calls < 1) calls = 0;
        argv += 2;
        argc -= 2;
    }
    if (argc != 3 || calls == 0) {
        std::cerr << "usage: kestrune_peer_run [--calls N] ENGINE PAGE\nengines:";
        for (const kbench::Engine& engine : kbench::engines()) std::cerr << ' ' << engine.name;
        std::cerr << '\n';
        return 2;
    }
    const kbench::Engine* engine = kbench::findEngine(argv[1]);
    if (engine == nullptr) {
        std::cerr << "kestrune_peer_run: no engine " << argv[1] << '\n';
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string page{std::istreambuf_iterator<char>(in), {}};
    if (!in) {
        std::cerr << "kestrune_peer_run: cannot read " << argv[2] << '\n';
        return 1;
    }
    std::string out;
    kbench::LinkSink sink;
    // The calls before the last only count the links: the difference of two runs is
    // the engine's work alone.
    for (long call = 1; call <= calls; ++call) {
        sink = kbench::LinkSink();
        sink.out = call == calls ? &out : nullptr;
        engine->run(page, kbench::Task::Links, sink);
        if (sink.refused) return 3;
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0
               ? 0
               : 1;
}
