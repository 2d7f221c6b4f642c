#include "app/run_state.h"

char install_dir[1024];
unsigned char proceed;
