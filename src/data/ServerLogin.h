#pragma once

#include "data/ServerLocation.h"

// Whether a login to the server fails for want of the right password, as the client library
// itself tells, not its messages: the server asked for one and none was given (neither typed in
// this session nor in ~/.pgpass), or the one given did not open the connection.
struct PasswordNeed {
    bool wanted = false;
    // The client library's words when a password was given and the login failed; they also tell
    // a failure that no password mends (a database that is not there).
    QString refusal;
};

// Tries the login with the location's password; nothing is wanted when it succeeds or fails for
// another reason (no server there, a login the server refuses whatever the password).
PasswordNeed passwordNeed(const ServerLocation &location);
