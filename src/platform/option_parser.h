// Reading a program's command line one option at a time, shared by the
// player's and the capture tool's option parsers.
#pragma once

#include <string>

// The arguments, the index of the next one to read, and where the message
// of a failure goes.
struct OptionParser {
    int argc;
    char** argv;
    int next;
    std::string* error;
};

// Puts `message` where the parser's failures go; returns false.
inline bool option_fail(OptionParser& p, const std::string& message) {
    *p.error = message;
    return false;
}
