#pragma once

#include <QString>

// Writes a realistic database of experts and extraction records, and
// optionally of projects drawn with the program's own draw code. The same
// seed always gives the same content.
struct DemoOptions {
    int experts = 1000;
    int selections = 0;
    quint64 seed = 1;
    int projects = 0;
};

// Creates path (which must not exist) with the schema, the initial content
// and the demo rows; the projects come after the plain extraction records,
// so a file without projects is the same as one made without asking for
// them. Throws DbError on failure.
void WriteDemoDatabase(const QString &path, const DemoOptions &options);
