// Ordering of indices (entries, line offsets) in place, without memory of
// its own.
#pragma once

#include <stddef.h>

// Negative, zero or positive as item a goes before, with or after item b.
using IndexOrder = int (*)(const void* context, size_t a, size_t b);

// Heap sort of items by order: N log N at worst, whatever order they come
// in. Not stable.
void SortIndex(size_t* items, size_t count, IndexOrder order, const void* context);
