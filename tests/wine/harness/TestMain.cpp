// The test programs' entry, in a file of its own: programs that link the
// harness for its helpers (the benchmarks) bring their own main.
#include "tests/wine/harness/WineTest.h"

int main(int argc, char** argv) { return wt::RunAllTests(argc, argv); }
