// The rota fuzzer: the shared main with the body of uFuzzRota.h.
#include "fuzz/uFuzzRota.h"
#include "fuzz/fuzz_main.cpp"
