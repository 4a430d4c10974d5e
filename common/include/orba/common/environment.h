// Environment variables in the Windows manner, and the data folder of Orba MAPI.
#pragma once

#include "orba/common/types.h"

namespace orba {

// The value of an environment variable, looked up ignoring case as on Windows (an exact
// match wins); empty when it is not set.
WideString VoGetEnvironmentVariable(const WideString& name);
// Replaces every %NAME% with the variable's value. Names are looked up ignoring case;
// an unknown name and a lone "%" are left as they stand. Expandable registry strings
// use this syntax only ("$NAME" is not expanded).
WideString VoExpandEnvironmentStrings(const WideString& text);
// A file name with its environment variables expanded (the same rules).
WideString VoExpandFileName(const WideString& fileName);
// The data folder: $ORBA_HOME, else $XDG_DATA_HOME/orbamapi, else ~/.local/share/orbamapi.
// It is not created here.
WideString VoOrbaHome();

}  // namespace orba
