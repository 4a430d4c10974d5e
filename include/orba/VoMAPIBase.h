// The wrapper bases of every MAPI object (unit uVoMAPIBase): TVoMAPIObject,
// TVoMAPIWrapper, TVoMAPIProp, the session base and the entry ID functions.
#pragma once

#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIObject.h"
#include "orba/VoMAPIProp.h"
#include "orba/VoMAPISessionBase.h"
#include "orba/VoMAPIWrapper.h"
