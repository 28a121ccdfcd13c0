// kelo_filter: removes isolated bad pixels (peaks) from series of 2-D
// detector images.
#include "src/filter_entry.h"

int main(int argc, char* argv[]) { return FilterMain(argc, argv); }
