// orbamapi: the command-line client of Orba MAPI.
//
//   orbamapi [info]   what the library finds: MAPI clients and Outlook
//   orbamapi version  the library's version
#include <cstdio>
#include <exception>
#include <string>

#include "orba/common/files.h"
#include "orba/common/utf8.h"
#include "orba/orbamapi.h"

namespace {

void Line(const char* name, const orba::WideString& value) {
  std::printf("  %-16s %s\n", name, orba::ToUtf8(value).c_str());
}

void Line(const char* name, bool value) { std::printf("  %-16s %s\n", name, value ? "yes" : "no"); }

const char* BitnessText(orba::TVoBitness bitness) { return bitness == orba::bt64 ? "64-bit" : "32-bit"; }

void PrintInfo() {
  using namespace orba;
  static const char* const kVersions[] = {"not installed", "97",   "98",   "2000", "2002", "2003",
                                          "2007",          "2010", "2013", "2016", "2019"};
  static const char* const kModes[] = {"n/a", "Internet Mail Only", "Corporate/Workgroup", "Click-to-Run",
                                       "Windows Store app"};
  TVoMAPIInfoRec mapi = VoGetMAPIInfo();
  std::printf("MAPI\n");
  Line("Extended MAPI", mapi.ExtendedMAPI);
  Line("Simple MAPI", mapi.SimpleMAPI);
  Line("Version", mapi.Version);
  Line("Clients", mapi.Clients);
  Line("Default client", mapi.DefaultClient);
  std::printf("  %-16s %s\n", "Bitness", BitnessText(mapi.Bitness));
  Line("In process", mapi.InProc);
  for (const TVoMAPIClient& client : VoGetMAPIClients()) {
    bool present = FileExists(client.MAPIDLL);
    std::printf("Client \"%s\"%s\n", ToUtf8(client.ClientName).c_str(), client.IsDefault ? " (default)" : "");
    Line("Library", client.MAPIDLL.empty() ? u"(not found)" : client.MAPIDLL);
    Line("Library exists", present);
    std::printf("  %-16s %s\n", "Interface", client.MAPIInterface == ciExtendedMAPI ? "Extended MAPI" : "Simple MAPI");
    std::printf("  %-16s %s\n", "Bitness", BitnessText(client.Bitness));
    Line("In process", client.InProc);
  }
  TVoOutlookInfo outlook = VoGetOutlookInfo();
  std::printf("Outlook\n");
  std::printf("  %-16s %s\n", "Version", kVersions[outlook.Version]);
  std::printf("  %-16s %d\n", "Version number", outlook.VersionNumber);
  Line("Version text", outlook.VersionNumberEx);
  std::printf("  %-16s %s\n", "Bitness", BitnessText(outlook.Bitness));
  std::printf("  %-16s %s\n", "Mode", kModes[outlook.Mode]);
  Line("Install root", outlook.InstallRoot);
  Line("MAPI library", outlook.MAPIDLL);
  Line("Running", VoGetOutlookRunning());
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "info";
  try {
    if (command == "version") {
      std::printf("Orba MAPI %s\n", orba::ToUtf8(orba::VoOrbaMAPIVersion()).c_str());
    } else if (command == "info") {
      PrintInfo();
    } else {
      std::fprintf(stderr, "Unknown command \"%s\". Commands: info, version\n", command.c_str());
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
