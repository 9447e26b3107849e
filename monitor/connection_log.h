// The connection log: the text of a traffic record, and its append to the log file.
#pragma once
#include <string>

#include "tessary.h"

namespace wayguard {

// The record's text up to its first NUL; a record with no NUL is cut at 199 characters,
// as the mailbox promises no more.
std::string TrafficText(const PFW_TRAFFIC& record);
// The bytes a text-mode write puts in the file: every line feed becomes CR LF.
std::string InTextMode(const std::string& text);
// Appends `text` (in text mode) to the file at `path`, created when missing and never
// truncated; opened shared and closed again, so others may read or remove the log between
// lines. False when the file cannot be opened or written; the caller drops the line.
bool AppendToLog(const char* path, const std::string& text);

}  // namespace wayguard
