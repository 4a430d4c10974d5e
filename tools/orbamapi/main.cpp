// orbamapi: the command-line client of Orba MAPI.
#include <cstdio>
#include <string>

#include "orba/orbamapi.h"

int main() {
  std::u16string v = orba::VoOrbaMAPIVersion();
  std::printf("Orba MAPI %s\n", std::string(v.begin(), v.end()).c_str());
  return 0;
}
