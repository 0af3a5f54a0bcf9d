// SPDX-License-Identifier: MIT
/* What every C peer program shares: reading the page whole, and writing one element's
 * record as the kestrune program prints it on the console ("text=" without spaces,
 * CR, LF and TAB; "NAME=" without CR, LF and TAB; each line ended by CR LF). */
#ifndef KBENCH_PEER_RECORD_H
#define KBENCH_PEER_RECORD_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The file's bytes with a NUL after them, or exits with status 2. */
static char* readPage(const char* path, size_t* size) {
    FILE* in = fopen(path, "rb");
    if (in == NULL) {
        perror(path);
        exit(2);
    }
    size_t capacity = 1 << 16, used = 0, got;
    char* bytes = malloc(capacity + 1);
    while (bytes != NULL && (got = fread(bytes + used, 1, capacity - used, in)) > 0) {
        used += got;
        if (used == capacity) bytes = realloc(bytes, (capacity *= 2) + 1);
    }
    if (bytes == NULL || ferror(in)) {
        fprintf(stderr, "%s: cannot read\n", path);
        exit(2);
    }
    fclose(in);
    bytes[used] = '\0';
    *size = used;
    return bytes;
}

static void writeCleaned(const char* bytes, size_t size, int dropSpace) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n' && c != '\t' && !(dropSpace && c == ' ')) putchar_unlocked(c);
    }
}

/* One element: its text, then the attribute's value when one was asked for. */
static void writeRecord(const char* text, size_t textSize, const char* name, const char* value,
                        size_t valueSize) {
    fputs("text=", stdout);
    writeCleaned(text, textSize, 1);
    fputs("\r\n", stdout);
    if (name != NULL) {
        printf("%s=", name);
        writeCleaned(value, valueSize, 0);
        fputs("\r\n", stdout);
    }
}

static int usage(const char* program) {
    fprintf(stderr, "usage: %s PAGE TAG [ATTRIBUTE]\n", program);
    return 2;
}

#endif
