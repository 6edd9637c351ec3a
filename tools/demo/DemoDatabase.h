#pragma once

#include <QString>

// Writes a realistic database of experts and extraction records. The same
// seed always gives the same content.
struct DemoOptions {
    int experts = 1000;
    int selections = 0;
    quint64 seed = 1;
};

// Creates path (which must not exist) with the schema, the initial content
// and the demo rows. Throws DbError on failure.
void WriteDemoDatabase(const QString &path, const DemoOptions &options);
