// What every front end (the window, its batch mode and each barvik-cli command) takes from the
// process it runs in, decided here once so that all of them write the same report for the same
// log under any environment.
#pragma once

#include <string>

namespace barvik {

// Puts the process into the user's locale for what the C library formats (the date and time
// of the report footer) and returns the decimal separator of the user's numbers: that of the
// LC_ALL / LC_NUMERIC / LANG locale when the system has it and its separator is one byte, '.'
// otherwise. Numbers stay in the "C" locale afterwards: the engine writes them itself with this
// separator. Call after a QApplication has been created, which sets the locale on its own.
char UseUserLocale();

// The folder of the running program, symbolic links resolved, "." when it cannot be found.
// Its shipped files are found from there (see TemplateFolder.h).
std::string ProgramFolder();

}  // namespace barvik
