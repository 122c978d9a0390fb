// The web login as the daemon hands it to the web server (see login_file.cpp).
#pragma once

// Stores this login when the record holds no user name yet, as a device leaves the factory.
bool seed_login(const char *user, const char *password);

// Writes the user file at path when the stored login differs from what it was last written
// from. False when the record or the file could not be used; a later call tries again.
bool keep_login_file(const char *path);
