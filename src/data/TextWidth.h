#pragma once

#include <QString>

// Width of one character in single-width units, from the GBK code page:
// one-byte characters count 1, two-byte characters and NUL count 2, and
// characters GBK cannot encode count 1.
int CharWidth(char32_t ch);

// Clips text so that its width does not exceed width; a two-byte character
// that would cross the limit is dropped. An empty text becomes one space.
QString CutToWidth(const QString &text, int width);

// A stored text as a single-line cell or label shows it: each run of line
// breaks, tabs and other control characters as one space. For showing only;
// the stored value keeps its breaks.
QString ShownOnOneLine(const QString &text);
