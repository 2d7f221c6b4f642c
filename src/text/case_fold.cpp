#include "text/case_fold.h"

// The lower-case letters of the alphabets that code page 932 holds (ASCII,
// Greek, Cyrillic, Roman numerals, full-width Latin), each range with the
// rest of its Unicode block, and how far below each its upper case lies.
// Windows folds one unit to one unit: no sharp s becomes "SS".
struct CaseRange {
  unsigned short first;
  unsigned short last;
  unsigned short distance;
};

static const CaseRange kLowerCase[] = {
    {0x0061, 0x007A, 0x20},  // a-z
    {0x03B1, 0x03C1, 0x20},  // Greek alpha to rho
    {0x03C2, 0x03C2, 0x1F},  // final sigma, upper case sigma
    {0x03C3, 0x03C9, 0x20},  // Greek sigma to omega
    {0x0430, 0x044F, 0x20},  // Cyrillic a to ya
    {0x0450, 0x045F, 0x50},  // Cyrillic ie with grave to dzhe, among them yo
    {0x2170, 0x217F, 0x10},  // small Roman numerals
    {0xFF41, 0xFF5A, 0x20},  // full-width a-z
};

unsigned short FoldCase(unsigned short c) {
  for (const CaseRange& range : kLowerCase) {
    if (c >= range.first && c <= range.last) return static_cast<unsigned short>(c - range.distance);
  }
  return c;
}
