#include "sort/index_sort.h"

static void SiftDown(size_t* items, size_t root, size_t count, IndexOrder order,
                     const void* context) {
  for (;;) {
    size_t child = 2 * root + 1;
    if (child >= count) return;
    if (child + 1 < count && order(context, items[child], items[child + 1]) < 0) ++child;
    if (order(context, items[root], items[child]) >= 0) return;
    size_t held = items[root];
    items[root] = items[child];
    items[child] = held;
    root = child;
  }
}

void SortIndex(size_t* items, size_t count, IndexOrder order, const void* context) {
  for (size_t root = count / 2; root-- > 0;) SiftDown(items, root, count, order, context);
  for (size_t end = count; end > 1; --end) {
    size_t held = items[0];
    items[0] = items[end - 1];
    items[end - 1] = held;
    SiftDown(items, 0, end - 1, order, context);
  }
}
