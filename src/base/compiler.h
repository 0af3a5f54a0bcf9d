// SPDX-License-Identifier: MIT
// Compiler and processor features the fast paths rely on, named once for every
// compiler the program is built with (GCC and clang, MinGW included, and MSVC).
#pragma once

#if defined(__GNUC__) || defined(__clang__)
// A function the optimiser must inline, whatever its size heuristics say.
#define KESTRUNE_ALWAYS_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define KESTRUNE_ALWAYS_INLINE __forceinline
#else
#define KESTRUNE_ALWAYS_INLINE inline
#endif

// Sixteen-byte SSE2 instructions: every x86-64 processor has them, a 32-bit x86
// build only when the compiler was asked for them. GCC and clang announce them as
// __SSE2__, MSVC as _M_X64 or _M_IX86_FP >= 2.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define KESTRUNE_HAS_SSE2 1
#else
#define KESTRUNE_HAS_SSE2 0
#endif

// Builds under AddressSanitizer (GCC announces it as __SANITIZE_ADDRESS__, clang
// through __has_feature).
#if defined(__SANITIZE_ADDRESS__)
#define KESTRUNE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRUNE_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef KESTRUNE_ADDRESS_SANITIZER
#define KESTRUNE_ADDRESS_SANITIZER 0
#endif
