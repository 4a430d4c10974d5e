// A program built against the installed library: prints the library's version and the
// tag of PR_SUBJECT from the installed catalogue.
#include <cstdio>

#include <orba/orbamapi.h>

int main() {
  std::printf("%s 0x%08X\n", orba::ToUtf8(orba::VoOrbaMAPIVersion()).c_str(),
              static_cast<unsigned>(orba::GetPropTag(orba::PR_SUBJECT)));
  return 0;
}
