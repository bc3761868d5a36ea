// Reading the people file (--people FILE), an admin's corrections of who is who: its text is
// UTF-8, with or without a byte-order mark, converted to the log's code page so that its names
// match the log's bytes; a file that is not UTF-8 is taken as written in the log's code page
// (how files were read before UTF-8 was). Only a regular file is read: a FIFO, a device or a
// folder is refused without blocking. docs/games-and-people.md describes the rules.
#pragma once

#include <string>

#include "core/FromUtf8.h"
#include "stats/Games.h"

namespace barvik {

struct PeopleFileRead {
  PeopleRules rules;
  // Empty when the file was read whole; else the whole message, "people file 'F', line N:
  // ..." or "option '--people': cannot read 'F' (...)".
  std::string error;
};

// The rules of the file at `path`; `log_code_page` is the code page of the log's names.
PeopleFileRead ReadPeopleFile(const std::string& path,
                              const CodePageTable& log_code_page = Windows1252Table());

// What tells one version of the file from another (device, inode, size, modification time),
// or "-" when there is none.
std::string PeopleFileFingerprint(const std::string& path);

}  // namespace barvik
