#pragma once

#include <string>

// Writes UTF-8 text to standard output in the console's encoding, without adding a
// line end (UTF-8 on POSIX consoles; the console code page on Windows).
void consolePrint(const char* utf8);

// consolePrint of `format` (UTF-8) with its one "%s" replaced by `name`.
void consolePrintWithName(const char* format, const std::string& name);
