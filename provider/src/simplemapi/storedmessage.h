// A Simple MAPI message written into an IMessage and read out of one, through the
// message object's own interface (properties, recipients, attachments and their
// streams).
//
// Written: subject, body (PR_BODY), class ("IPM.Note" for none), read-receipt request,
// the delivery time from lpszDateReceived ("YYYY/MM/DD HH:MM", local time; a malformed
// date is MAPI_E_FAILURE), the recipients (all of them replaced), and every file as an
// attachment by value (its name, rendering position and data). A missing file is
// MAPI_E_ATTACHMENT_NOT_FOUND, an unreadable one MAPI_E_ATTACHMENT_OPEN_FAILURE.
//
// Read: the envelope always (subject, class, delivery date, flags, originator,
// recipients, the attachments' names); the body unless MAPI_ENVELOPE_ONLY (into a
// temporary file listed first with MAPI_BODY_AS_FILE); the attachments' data in
// temporary files unless MAPI_ENVELOPE_ONLY or MAPI_SUPPRESS_ATTACH. Temporary files go
// to a new folder under the system's temporary folder; like every Simple MAPI client
// library, Orba Store leaves them to the caller. Attachments by value become files;
// attachments by reference list their path; embedded messages and OLE objects have no
// file form and are not listed.
#pragma once

#include "mapi/mapidefs.h"
#include "simplemapi/simplemessage.h"

namespace orba::store {

enum class TRecipientCheck {
  Resolve,  // every recipient must resolve (MAPI_E_UNKNOWN_RECIPIENT): sending
  Keep,     // a recipient that does not resolve is kept by its name: saving
};

void WriteMessage(IMessage* message, const TSimpleMessage& simple, TRecipientCheck check);
// Removes what WriteMessage writes, so that a saved message can be replaced.
void ClearMessage(IMessage* message);
TSimpleMessage ReadMessage(IMessage* message, FLAGS flags);

}  // namespace orba::store
