// A small library whose exports the ELF and loading tests know.
#include <cstring>

extern "C" {

__attribute__((visibility("default"))) int OrbaTestAnswer() { return 42; }

__attribute__((visibility("default"))) int OrbaTestLength(const char* text) {
  return static_cast<int>(std::strlen(text));
}

__attribute__((visibility("hidden"))) int OrbaTestHidden() { return 7; }

__attribute__((visibility("default"))) int OrbaTestData = 5;

__attribute__((visibility("default"))) __attribute__((weak)) int OrbaTestWeak() { return OrbaTestHidden(); }
}
