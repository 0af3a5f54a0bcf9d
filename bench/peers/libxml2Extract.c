// SPDX-License-Identifier: MIT
/* libxml2Extract PAGE TAG [ATTRIBUTE]: every TAG element of the page as libxml2's HTML
 * parser reads it, with its text (xmlNodeGetContent) and the attribute's value. */
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include "record.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage(argv[0]);
    const char* name = argc == 4 ? argv[3] : NULL;
    size_t size;
    char* page = readPage(argv[1], &size);
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_NONET | HTML_PARSE_COMPACT;
    htmlDocPtr doc = htmlReadMemory(page, (int)size, NULL, NULL, options);
    /* Document order without recursion: down to the first child, else on to the next
     * sibling of the nearest node that has one. */
    xmlNodePtr node = doc != NULL ? xmlDocGetRootElement(doc) : NULL;
    while (node != NULL) {
        if (node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, BAD_CAST argv[2]) == 0) {
            xmlChar* text = xmlNodeGetContent(node);
            xmlChar* value = name != NULL ? xmlGetProp(node, BAD_CAST name) : NULL;
            writeRecord(text ? (const char*)text : "", text ? strlen((const char*)text) : 0, name,
                        value ? (const char*)value : "", value ? strlen((const char*)value) : 0);
            xmlFree(text);
            xmlFree(value);
        }
        if (node->type == XML_ELEMENT_NODE && node->children != NULL) {
            node = node->children;
            continue;
        }
        while (node != NULL && node->next == NULL) node = node->parent;
        if (node != NULL) node = node->next;
    }
    xmlFreeDoc(doc);
    free(page);
    return fflush(stdout) == 0 ? 0 : 1;
}
