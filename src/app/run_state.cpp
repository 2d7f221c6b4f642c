#include "app/run_state.h"

char install_dir[1024];
bool install_dir_unmappable;
unsigned char proceed;
