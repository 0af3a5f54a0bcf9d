// SPDX-License-Identifier: MIT
/* myhtmlExtract PAGE TAG [ATTRIBUTE]: every TAG element of MyHTML's tree of the page (in
 * single-thread mode), with the text nodes below it and the attribute's value. */
#include <myhtml/api.h>

#include "record.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage(argv[0]);
    const char* name = argc == 4 ? argv[3] : NULL;
    size_t size;
    char* page = readPage(argv[1], &size);
    myhtml_t* parser = myhtml_create();
    myhtml_init(parser, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0);
    myhtml_tree_t* tree = myhtml_tree_create();
    myhtml_tree_init(tree, parser);
    myhtml_parse(tree, MyENCODING_UTF_8, page, size);
    myhtml_collection_t* found =
        myhtml_get_nodes_by_name(tree, NULL, argv[2], strlen(argv[2]), NULL);
    char* text = NULL;
    size_t textCapacity = 0;
    for (size_t i = 0; found != NULL && i < found->length; ++i) {
        myhtml_tree_node_t* element = found->list[i];
        /* The text nodes below the element, in document order, without recursion. */
        size_t textSize = 0, length;
        myhtml_tree_node_t* node = myhtml_node_child(element);
        while (node != NULL) {
            const char* piece =
                myhtml_node_tag_id(node) == MyHTML_TAG__TEXT ? myhtml_node_text(node, &length) : NULL;
            if (piece != NULL) {
                if (textSize + length > textCapacity) {
                    textCapacity = (textSize + length) * 2;
                    text = realloc(text, textCapacity);
                    if (text == NULL) exit(3);
                }
                memcpy(text + textSize, piece, length);
                textSize += length;
            }
            if (myhtml_node_child(node) != NULL) {
                node = myhtml_node_child(node);
                continue;
            }
            while (node != element && myhtml_node_next(node) == NULL) node = myhtml_node_parent(node);
            node = node == element ? NULL : myhtml_node_next(node);
        }
        const char* value = NULL;
        size_t valueSize = 0;
        if (name != NULL) {
            myhtml_tree_attr_t* attribute = myhtml_attribute_by_key(element, name, strlen(name));
            value = attribute != NULL ? myhtml_attribute_value(attribute, &valueSize) : NULL;
        }
        writeRecord(text != NULL ? text : "", textSize, name, value != NULL ? value : "",
                    value != NULL ? valueSize : 0);
    }
    myhtml_collection_destroy(found);
    myhtml_tree_destroy(tree);
    myhtml_destroy(parser);
    free(text);
    free(page);
    return fflush(stdout) == 0 ? 0 : 1;
}
