// SPDX-License-Identifier: MIT
#include "peers.h"

#include <kestrune/extract.h>

#ifdef KBENCH_LIBXML2
#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>
#endif
#ifdef KBENCH_GUMBO
#include <gumbo.h>
#endif
#ifdef KBENCH_MYHTML
#include <modest/finder/finder.h>
#include <mycss/entry.h>
#include <mycss/selectors/init.h>
#include <mycss/selectors/list.h>
#include <myhtml/myhtml.h>
#endif

namespace kbench {
namespace {

// One request per task, in the order of tasks(), asking for `codePage`.
std::vector<kestrune::Request> requestsFor(unsigned codePage) {
    std::vector<kestrune::Request> all;
    for (const TaskInfo& info : tasks()) {
        kestrune::Request r;
        if (info.task == Task::Links)
            r.tag = std::string(info.css);
        else
            r.selector = kestrune::Selector::compile(info.css);
        r.attributes = {"href"};
        r.codePage = codePage;
        all.push_back(std::move(r));
    }
    return all;
}

void runRequest(const kestrune::Request& request, std::string_view page, LinkSink& sink) {
    const kestrune::Report report = kestrune::extract(page, request);
    sink.refused = !report;
    for (std::size_t i = 0; i < report.size(); ++i) sink.add(report.value(i, 1), report.text(i));
}

void runKestrune(std::string_view page, Task task, LinkSink& sink) {
    static const std::vector<kestrune::Request> requests = requestsFor(kestrune::kUtf8);
    runRequest(requests[static_cast<std::size_t>(task)], page, sink);
}

// The same call asking for code page 936 (GBK), as the program on a Chinese Windows
// does: a page in UTF-8 with a byte from 0x80 is converted before it is read.
void runKestrune936(std::string_view page, Task task, LinkSink& sink) {
    static const std::vector<kestrune::Request> requests = requestsFor(936);
    runRequest(requests[static_cast<std::size_t>(task)], page, sink);
}

#ifdef KBENCH_LIBXML2
// libxml2's HTML parser, then the task's XPath query; the text is the element's content.
void runLibxml2(std::string_view page, Task task, LinkSink& sink) {
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_NONET | HTML_PARSE_COMPACT;
    htmlDocPtr doc =
        htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, nullptr, options);
    if (doc == nullptr) return;
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST taskInfo(task).xpath, context);
    if (found != nullptr && found->nodesetval != nullptr) {
        for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
            xmlNodePtr node = found->nodesetval->nodeTab[i];
            xmlChar* href = xmlGetProp(node, BAD_CAST "href");
            xmlChar* text = xmlNodeGetContent(node);
            sink.add(href ? reinterpret_cast<const char*>(href) : "",
                     text ? reinterpret_cast<const char*>(text) : "");
            xmlFree(href);
            xmlFree(text);
        }
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    xmlFreeDoc(doc);
}
#endif

#ifdef KBENCH_GUMBO
bool isElement(const GumboNode* node) {
    return node != nullptr &&
           (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE);
}

// The text nodes below `top`, in document order; no recursion, whatever the depth.
void appendText(const GumboNode* top, std::string& text, std::vector<const GumboNode*>& pending) {
    pending.assign(1, top);
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
            node->type == GUMBO_NODE_CDATA) {
            text += node->v.text.text;
        } else if (isElement(node)) {
            const GumboVector& children = node->v.element.children;
            for (unsigned i = children.length; i-- > 0;)
                pending.push_back(static_cast<const GumboNode*>(children.data[i]));
        }
    }
}

// An li whose place among its parent's elements (from 1) is odd.
bool isOddItem(const GumboNode* node) {
    if (!isElement(node) || node->v.element.tag != GUMBO_TAG_LI || !isElement(node->parent))
        return false;
    const GumboVector& siblings = node->parent->v.element.children;
    std::size_t place = 0;
    for (unsigned i = 0; i <= node->index_within_parent && i < siblings.length; ++i)
        place += isElement(static_cast<const GumboNode*>(siblings.data[i])) ? 1 : 0;
    return place % 2 == 1;
}

// gumbo's tree, walked without recursion for the a elements the task selects.
void runGumbo(std::string_view page, Task task, LinkSink& sink) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    struct Pending {
        const GumboNode* node;
        bool inDiv;
    };
    std::vector<Pending> pending{{output->root, false}};
    std::vector<const GumboNode*> below;
    std::string text;
    while (!pending.empty()) {
        const auto [node, inDiv] = pending.back();
        pending.pop_back();
        if (!isElement(node)) continue;
        if (node->v.element.tag == GUMBO_TAG_A) {
            const GumboAttribute* href = gumbo_get_attribute(&node->v.element.attributes, "href");
            const bool chosen = task == Task::Links ||
                                (task == Task::DivLinks && inDiv && href != nullptr) ||
                                (task == Task::OddItemLinks && isOddItem(node->parent));
            if (chosen) {
                text.clear();
                appendText(node, text, below);
                sink.add(href ? href->value : "", text);
            }
        }
        const bool childrenInDiv = inDiv || node->v.element.tag == GUMBO_TAG_DIV;
        const GumboVector& children = node->v.element.children;
        for (unsigned i = children.length; i-- > 0;)
            pending.push_back({static_cast<const GumboNode*>(children.data[i]), childrenInDiv});
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}
#endif

#ifdef KBENCH_MYHTML
// One MyHTML parser and tree per thread, in single-thread mode, reused page after page,
// with modest's CSS finder and the tasks' selectors compiled once.
struct MyHtml {
    myhtml_t* parser = myhtml_create();
    myhtml_tree_t* tree = myhtml_tree_create();
    mycss_t* css = mycss_create();
    mycss_entry_t* entry = mycss_entry_create();
    modest_finder_t* finder = modest_finder_create_simple();
    std::vector<mycss_selectors_list_t*> selectors;
    MyHtml() {
        myhtml_init(parser, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0);
        myhtml_tree_init(tree, parser);
        mycss_init(css);
        mycss_entry_init(css, entry);
        for (const TaskInfo& info : tasks()) {
            mystatus_t status = 0;
            const std::string_view text = info.css;
            selectors.push_back(mycss_selectors_parse(
                mycss_entry_selectors(entry), MyENCODING_UTF_8, text.data(), text.size(), &status));
        }
    }
    ~MyHtml() {
        for (mycss_selectors_list_t* list : selectors)
            mycss_selectors_list_destroy(mycss_entry_selectors(entry), list, true);
        modest_finder_destroy(finder, true);
        mycss_entry_destroy(entry, true);
        mycss_destroy(css, true);
        myhtml_tree_destroy(tree);
        myhtml_destroy(parser);
    }
};

void runMyHtml(std::string_view page, Task task, LinkSink& sink) {
    thread_local MyHtml my;
    myhtml_parse(my.tree, MyENCODING_UTF_8, page.data(), page.size());
    myhtml_collection_t* links = nullptr;
    if (task == Task::Links)
        links = myhtml_get_nodes_by_tag_id(my.tree, nullptr, MyHTML_TAG_A, nullptr);
    else
        modest_finder_by_selectors_list(my.finder, myhtml_tree_get_document(my.tree),
                                        my.selectors[static_cast<int>(task)], &links);
    std::string text;
    for (std::size_t i = 0; links != nullptr && i < links->length; ++i) {
        myhtml_tree_node_t* link = links->list[i];
        std::size_t length = 0;
        myhtml_tree_attr_t* attribute = myhtml_attribute_by_key(link, "href", 4);
        const char* href = attribute ? myhtml_attribute_value(attribute, &length) : nullptr;
        std::string_view hrefView(href ? href : "", href ? length : 0);
        // The text nodes below the link, in document order.
        text.clear();
        myhtml_tree_node_t* node = myhtml_node_child(link);
        while (node != nullptr) {
            if (myhtml_node_tag_id(node) == MyHTML_TAG__TEXT) {
                const char* piece = myhtml_node_text(node, &length);
                if (piece != nullptr) text.append(piece, length);
            }
            if (myhtml_tree_node_t* child = myhtml_node_child(node)) {
                node = child;
                continue;
            }
            while (node != nullptr && node != link && myhtml_node_next(node) == nullptr)
                node = myhtml_node_parent(node);
            node = (node == nullptr || node == link) ? nullptr : myhtml_node_next(node);
        }
        sink.add(hrefView, text);
    }
    myhtml_collection_destroy(links);
    myhtml_tree_clean(my.tree);
}
#endif

}  // namespace

const std::vector<TaskInfo>& tasks() {
    static const std::vector<TaskInfo> all = {
        {Task::Links, "links", "a", "//a"},
        // Not "//div//a[@href]": libxml2 gathers the a below each div once per div above
        // it, minutes on a deeply nested page; this tests each a once.
        {Task::DivLinks, "div-links", "div a[href]", "//a[@href][ancestor::div]"},
        {Task::OddItemLinks, "odd-item-links", "li:nth-child(2n+1) > a",
         "//li[count(preceding-sibling::*) mod 2 = 0]/a"},
    };
    return all;
}

const TaskInfo& taskInfo(Task task) { return tasks()[static_cast<std::size_t>(task)]; }

const std::vector<Engine>& engines() {
    static const std::vector<Engine> all = {
        {"kestrune", runKestrune},
#ifdef KBENCH_LIBXML2
        {"libxml2", runLibxml2},
#endif
#ifdef KBENCH_GUMBO
        {"gumbo", runGumbo},
#endif
#ifdef KBENCH_MYHTML
        {"myhtml", runMyHtml},
#endif
    };
    return all;
}

const Engine& kestrune936() {
    static const Engine engine = {"kestrune-936", runKestrune936};
    return engine;
}

const Engine* findEngine(std::string_view name) {
    for (const Engine& engine : engines())
        if (name == engine.name) return &engine;
    return nullptr;
}

}  // namespace kbench
