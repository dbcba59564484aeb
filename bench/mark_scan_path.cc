// Prints which scan the batch pass of this build uses on this processor.
#include <cstdio>

#include "logs/mark_scan.h"

int main() { std::printf("%s\n", mark_scan_name()); }
