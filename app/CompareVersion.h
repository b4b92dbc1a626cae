#pragma once

#include <QString>

// Compares an installed version text with the server's ("1.2.3", dot-separated decimal
// integers; a part that is not a number counts 0). Returns 0 when the server's is not
// newer, otherwise 1, 2 or 3 for the first of the first three parts that is newer.
// Only 1 and 2 call for an update.
int compareVersion(const QString& installed, const QString& server);
