#pragma once

// Writes UTF-8 text to standard output in the console's encoding, without adding a
// line end (UTF-8 on POSIX consoles; the console code page on Windows).
void consolePrint(const char* utf8);
