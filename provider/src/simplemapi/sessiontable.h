// The live Simple MAPI sessions of the process, by handle, and the session one call
// works in.
//
// A handle is a slot of the table (its low 16 bits) and the serial number of the logon
// that took the slot (the bits above), so a handle stays invalid once its session is
// closed, even after the slot is taken again; handles are never 0 or 1 (1 is what
// clients keep for "no session to log off"). Thread-safe: a call holds its session
// while another thread may log it off.
#pragma once

#include <memory>

#include "simplemapi/session.h"

namespace orba::store {

// A handle for a new session (MAPI_E_TOO_MANY_SESSIONS when the table is full).
LHANDLE AddSession(std::shared_ptr<TSimpleSession> session);
// The session of a handle; MAPI_E_INVALID_SESSION for an unknown, closed or ended one.
std::shared_ptr<TSimpleSession> FindSession(LHANDLE handle);
// Takes the session out of the table, ended or not (MAPI_E_INVALID_SESSION for an
// unknown or closed handle).
std::shared_ptr<TSimpleSession> RemoveSession(LHANDLE handle);

// The session of a call: the handle's, or for handle 0 a logon (flags as
// TSimpleSession::Logon) that ends with the call, when the last holder lets it go.
std::shared_ptr<TSimpleSession> SessionForCall(LHANDLE handle, FLAGS flags);

}  // namespace orba::store
