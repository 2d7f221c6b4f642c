#include "preflight/space_plan.h"

#include "text/format.h"

void ClearSpacePlan(SpacePlan* plan, unsigned long long cluster) {
  plan->cluster = cluster > 1 ? cluster : 1;
  plan->growth = 0;
  plan->largest = 0;
}

// A file takes whole allocation units: 200 files of 1 KB fill 25 MB of a
// volume with 128 KB units. A size too close to the top to round stays.
static unsigned long long OnDisk(const SpacePlan& plan, unsigned long long size) {
  unsigned long long rest = size % plan.cluster;
  if (rest == 0 || size > ~0ull - (plan.cluster - rest)) return size;
  return size + (plan.cluster - rest);
}

// A file that shrinks frees its space only once it is replaced, which may be
// after the file that needs it: only growth counts.
void PlanReplacement(SpacePlan* plan, unsigned long long new_size, unsigned long long old_size) {
  new_size = OnDisk(*plan, new_size);
  old_size = OnDisk(*plan, old_size);
  if (new_size > old_size) plan->growth += new_size - old_size;
  if (new_size > plan->largest) plan->largest = new_size;
}

// Each new file is first copied whole beside the file it replaces, so the
// largest of them is needed on top of the growth.
unsigned long long SpaceNeeded(const SpacePlan& plan) {
  return plan.growth + plan.largest;
}

static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
constexpr int kUnitCount = sizeof kUnits / sizeof kUnits[0];

// bytes / unit in tenths, rounded as asked; never overflows, since the
// remainder is below unit.
static unsigned long long Tenths(unsigned long long bytes, unsigned long long unit,
                                 SizeRounding rounding) {
  unsigned long long whole = bytes / unit;
  unsigned long long rest = (bytes % unit) * 10;
  unsigned long long tenths = whole * 10 + rest / unit;
  if (rounding == kRoundUp && rest % unit != 0) ++tenths;
  return tenths;
}

static unsigned long long Units(unsigned long long bytes, unsigned long long unit,
                                SizeRounding rounding) {
  unsigned long long whole = bytes / unit;
  if (rounding == kRoundUp && bytes % unit != 0) ++whole;
  return whole;
}

bool FormatSize(unsigned long long bytes, SizeRounding rounding, char* out, size_t size) {
  unsigned long long unit = 1024;
  int index = 0;
  // A figure that would reach 1024 of a unit (after rounding) reads as the
  // next unit.
  while (index + 1 < kUnitCount && Tenths(bytes, unit, rounding) >= 10240) {
    unit *= 1024;
    ++index;
  }
  unsigned long long tenths = Tenths(bytes, unit, rounding);
  char number[32];
  if (tenths < 100) {
    FormatText(number, sizeof number, "%d.%d", static_cast<int>(tenths / 10),
               static_cast<int>(tenths % 10));
  } else {
    unsigned long long whole = Units(bytes, unit, rounding);
    // Past 2^31 TB only in theory; the figure stays a large one.
    FormatText(number, sizeof number, "%d",
               whole > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(whole));
  }
  return FormatText(out, size, "%s %s", number, kUnits[index]);
}
