// SPDX-License-Identifier: MIT
/* gumboExtract PAGE TAG [ATTRIBUTE]: every TAG element of gumbo's tree of the page, with
 * the text nodes below it and the attribute's value. */
#include <gumbo.h>
#include <strings.h>

#include "record.h"

/* A growable stack of nodes: the trees can be millions of levels deep. */
typedef struct {
    const GumboNode** nodes;
    size_t size, capacity;
} Stack;

static void push(Stack* stack, const GumboNode* node) {
    if (stack->size == stack->capacity) {
        stack->capacity = stack->capacity ? stack->capacity * 2 : 1024;
        stack->nodes = realloc(stack->nodes, stack->capacity * sizeof *stack->nodes);
        if (stack->nodes == NULL) exit(3);
    }
    stack->nodes[stack->size++] = node;
}

static void pushChildren(Stack* stack, const GumboNode* node) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) return;
    const GumboVector* children = &node->v.element.children;
    for (unsigned i = children->length; i-- > 0;) push(stack, children->data[i]);
}

static int matches(const GumboNode* node, GumboTag tag, const char* name) {
    if (node->type != GUMBO_NODE_ELEMENT) return 0;
    if (tag != GUMBO_TAG_UNKNOWN) return node->v.element.tag == tag;
    GumboStringPiece original = node->v.element.original_tag;
    gumbo_tag_from_original_text(&original);
    return original.length == strlen(name) && strncasecmp(original.data, name, original.length) == 0;
}

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage(argv[0]);
    const char* name = argc == 4 ? argv[3] : NULL;
    const GumboTag tag = gumbo_tag_enum(argv[2]);
    size_t size;
    char* page = readPage(argv[1], &size);
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page, size);
    Stack pending = {0}, below = {0};
    char* text = NULL;
    size_t textSize = 0, textCapacity = 0;
    push(&pending, output->root);
    while (pending.size > 0) {
        const GumboNode* node = pending.nodes[--pending.size];
        if (matches(node, tag, argv[2])) {
            textSize = 0;
            push(&below, node);
            while (below.size > 0) {
                const GumboNode* inner = below.nodes[--below.size];
                if (inner->type == GUMBO_NODE_TEXT || inner->type == GUMBO_NODE_WHITESPACE ||
                    inner->type == GUMBO_NODE_CDATA) {
                    const size_t length = strlen(inner->v.text.text);
                    if (textSize + length > textCapacity) {
                        textCapacity = (textSize + length) * 2;
                        text = realloc(text, textCapacity);
                        if (text == NULL) exit(3);
                    }
                    memcpy(text + textSize, inner->v.text.text, length);
                    textSize += length;
                }
                pushChildren(&below, inner);
            }
            const GumboAttribute* attribute =
                name != NULL ? gumbo_get_attribute(&node->v.element.attributes, name) : NULL;
            const char* value = attribute != NULL ? attribute->value : "";
            writeRecord(text != NULL ? text : "", textSize, name, value, strlen(value));
        }
        pushChildren(&pending, node);
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    free(text);
    free(pending.nodes);
    free(below.nodes);
    free(page);
    return fflush(stdout) == 0 ? 0 : 1;
}
