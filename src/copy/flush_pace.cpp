#include "copy/flush_pace.h"

#include "win/now_ms.h"

constexpr unsigned long long kLeastBetweenFlushes = 4ULL << 20;
constexpr unsigned long long kMostBetweenFlushes = 64ULL << 20;
constexpr double kSlowFlushMs = 40.0;
constexpr double kQuickFlushMs = 10.0;

void StartFlushPace(FlushPace* pace) {
  pace->unflushed = 0;
  pace->every = 16ULL << 20;
}

bool PaceFlush(HANDLE file, unsigned long long written, FlushPace* pace) {
  pace->unflushed += written;
  if (pace->unflushed < pace->every) return true;
  double started = NowMs();
  if (!FlushFileBuffers(file)) return false;
  double took = NowMs() - started;
  pace->unflushed = 0;
  if (took > kSlowFlushMs && pace->every > kLeastBetweenFlushes) pace->every /= 2;
  if (took < kQuickFlushMs && pace->every < kMostBetweenFlushes) pace->every *= 2;
  return true;
}
