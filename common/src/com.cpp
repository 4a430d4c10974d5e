#include "orba/common/com.h"

#include <cstdlib>

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(void* pv) { std::free(pv); }
