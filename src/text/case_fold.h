// The letter case that Windows ignores in file names.
#pragma once

// The UTF-16 code unit that Windows takes for c when it compares names
// without regard to case: its upper case, one unit for one, as
// CompareStringOrdinal folds it. Exact for every character that has a code
// page 932 form, the only ones an entry can hold.
unsigned short FoldCase(unsigned short c);
