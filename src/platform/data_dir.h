// Finding the directory that holds the show's data/ folder, for the tools
// (and the player) started from anywhere.
#pragma once

#include <string>

// Makes the directory that holds data/ (or Data/) the working directory.
// `given` (may be empty) is a directory named by the user: it may hold data/
// or be data/ itself.  Without one: the working directory, else the
// executable's directory, else ../share/vintermoot beside it (an installed
// copy under any prefix), else the configured installation directory.  False, with a
// message in `error`, when none holds the data.
bool data_dir_enter(const std::string& given, std::string* error);
