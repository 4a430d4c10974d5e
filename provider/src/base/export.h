// Marks a definition of one of MAPI's flat entry points: C linkage and default
// visibility, the only symbols liborbastore.so exports. Include mapi/mapiexports.h
// first so that the definition is checked against the published signature.
#pragma once

#define ORBASTORE_EXPORT extern "C" __attribute__((visibility("default")))
