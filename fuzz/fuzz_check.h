// Property checks shared by the fuzz targets.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

inline void Check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "property failed: %s\n", what);
    abort();
  }
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
  return memchr(field, '\0', N) != nullptr;
}

// One library call for a whole block: a byte loop over the settings record's
// 9 KB of empty file slots would cost more than the parse.
inline bool AllZero(const void* p, size_t n) {
  static const unsigned char kZero[16384] = {};
  return n <= sizeof kZero && memcmp(p, kZero, n) == 0;
}

// Plain loops for the small comparisons made on every run: the sanitizers'
// hooks on strcmp and memmem feed libFuzzer's tables with the checks' own
// comparisons and cost more than these.
inline bool SameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// Marks in found[i] whether words[i] occurs in the bytes; every word begins
// with the same byte, so one pass over that byte's places serves them all.
inline void FindWords(const uint8_t* data, size_t size, const char* const* words, size_t count,
                      bool* found) {
  for (size_t i = 0; i < count; ++i) found[i] = false;
  if (count == 0) return;
  const uint8_t* end = data + size;
  for (const uint8_t* p = data; p < end; ++p) {
    p = static_cast<const uint8_t*>(memchr(p, words[0][0], static_cast<size_t>(end - p)));
    if (p == nullptr) return;
    for (size_t i = 0; i < count; ++i) {
      size_t k = 1;
      while (words[i][k] != '\0' && p + k < end &&
             p[k] == static_cast<unsigned char>(words[i][k])) {
        ++k;
      }
      if (words[i][k] == '\0') found[i] = true;
    }
  }
}
