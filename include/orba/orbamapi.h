// Orba MAPI: the umbrella header. Include this to get the whole public API.
#pragma once

#include "orba/common/types.h"
#include "orba/common/utf8.h"
#include "orba/common/comptr.h"
#include "orba/VoMAPIVersion.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIProps.h"
#include "orba/VoMAPIWrapperIntf.h"
#include "orba/VoMAPIBase.h"
#include "orba/VoMAPILib.h"
#include "orba/VoMAPIEntryPoints.h"
