// SPDX-License-Identifier: MIT
// The comparison tasks, "every a with its href and text" and two selections of links, done
// by Kestrune's one call and by each peer library this build found (libxml2, gumbo,
// MyHTML with modest's CSS finder), behind one signature so that the benchmark and the
// peer program run them alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kbench {

// Receives the links an engine finds; counts them and, given a buffer, lists them one a
// line as HREF TAB TEXT. `refused`: the engine would not read the page (Kestrune's size
// limit).
struct LinkSink {
    std::size_t links = 0;
    std::size_t bytes = 0;
    std::string* out = nullptr;
    bool refused = false;

    void add(std::string_view href, std::string_view text) {
        ++links;
        bytes += href.size() + text.size();
        if (out != nullptr) {
            out->append(href);
            out->push_back('\t');
            out->append(text);
            out->push_back('\n');
        }
    }
};

// What an engine finds on a page: each peer selects with its own means (libxml2 with
// XPath, MyHTML with modest's CSS finder, gumbo with a walk of its tree).
enum class Task {
    Links,         // every a
    DivLinks,      // div a[href]: an a with an href inside a div (Kestrune streams it)
    OddItemLinks,  // li:nth-child(2n+1) > a: an a child of an odd li (Kestrune's tree)
};

struct TaskInfo {
    Task task;
    const char* name;   // in benchmark names: "links", "div-links", "odd-item-links"
    const char* css;    // the selector
    const char* xpath;  // the same for libxml2
};
const std::vector<TaskInfo>& tasks();
const TaskInfo& taskInfo(Task task);

struct Engine {
    const char* name;
    // Reads one page and hands every link the task finds to the sink. May be called from
    // several threads at once (each keeps its own state).
    void (*run)(std::string_view page, Task task, LinkSink& sink);
};

// Kestrune first, then the peers compiled in.
const std::vector<Engine>& engines();
// Kestrune asking for code page 936: a page in UTF-8 with a byte from 0x80 is converted
// before it is read. Not among engines(): the same library, measured on the pages it
// converts.
const Engine& kestrune936();
const Engine* findEngine(std::string_view name);

}  // namespace kbench
