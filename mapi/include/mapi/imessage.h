// Messages over structured storage (IMESSAGE.H): a message session and an IMessage
// kept in an IStorage, as .msg files are.
#pragma once

#include "mapi/mapidefs.h"
#include "mapi/storage.h"

// An opaque message session; closing it releases every message opened in it.
struct MSGSESS;
using LPMSGSESS = MSGSESS*;

// Called when the last reference to a message opened on a storage is released.
using MSGCALLRELEASE = void(ULONG ulCallerData, LPMESSAGE lpMessage);

// OpenIMsgOnIStg: the message does not commit the storage on SaveChanges.
inline constexpr ULONG IMSG_NO_ISTG_COMMIT = 0x00000001;

using OPENIMSGSESSION = SCODE(LPMALLOC lpMalloc, ULONG ulFlags, LPMSGSESS* lppMsgSess);
using LPOPENIMSGSESSION = OPENIMSGSESSION*;

using CLOSEIMSGSESSION = void(LPMSGSESS lpMsgSess);
using LPCLOSEIMSGSESSION = CLOSEIMSGSESSION*;

using OPENIMSGONISTG = SCODE(LPMSGSESS lpMsgSess, LPALLOCATEBUFFER lpAllocateBuffer, LPALLOCATEMORE lpAllocateMore,
                             LPFREEBUFFER lpFreeBuffer, LPMALLOC lpMalloc, LPVOID lpMapiSup, LPSTORAGE lpStg,
                             MSGCALLRELEASE* lpfMsgCallRelease, ULONG ulCallerData, ULONG ulFlags, LPMESSAGE* lppMsg);
using LPOPENIMSGONISTG = OPENIMSGONISTG*;
