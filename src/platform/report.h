// Failures on the terminal.  Every failure that ends the show, or that the
// user is told about in a box, also prints one line on stderr: a program
// started from a terminal or a script reports there, and where no box can
// be shown (no display) the line is the only report.
#pragma once

// Prints "<program>: <what>: <reason>; <mend>" (without ": <reason>" when
// `reason` is null or empty): what failed, why when it is known, and what
// the user can do about it.
void report_failure(const char* what, const char* reason, const char* mend);

// SDL's text for the last call that failed ("" when it gave none), as a
// reason for report_failure.
const char* report_sdl_reason();
