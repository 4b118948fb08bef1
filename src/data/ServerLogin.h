#pragma once

#include "data/ServerLocation.h"

// Whether a login to the server failed for want of the right password: the server asked for one
// and none was given (neither typed in this session nor in ~/.pgpass), or the one given did not
// open the connection. Told by the client library itself, not from its messages; false when the
// login succeeds or fails for another reason (no server there, a login the server refuses
// outright).
bool loginWantsPassword(const ServerLocation &location);
