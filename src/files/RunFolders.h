#pragma once

#include <QString>

// Temporary folders that hold personal data for a moment (an imported sheet
// as plain text, a preview, the office's working profile). Each is named
// after what it holds and the process that made it, so that a later start
// can remove what a killed run left behind.

// The data folder's run area: a hidden folder inside the data folder for
// what holds personal data only while the program runs (previews), so that
// it stays where the library's own data is and the next start finds it.
QString RunAreaPath(const QString &appDir);
// Creates the run area when missing, readable by the user alone; false when
// it cannot be made.
bool EnsureRunArea(const QString &appDir);

// The template for a new QTemporaryDir: "kestrune-<purpose>-<process
// id>-XXXXXX" in area, or in the system's temporary folder when area is empty.
QString RunFolderTemplate(const QString &purpose, const QString &area = {});

// Removes the run folders of processes that no longer run, in the system's
// temporary folder and in area (a run area) when given; returns how many
// were removed. Folders of running programs are left alone.
int RemoveLeftoverRunFolders(const QString &area = {});

// A note in the run area of a file being written elsewhere under a staged
// name (an export in the user's folder): a run killed before the file took
// its place leaves the note, and the next start removes the file it names.
// The note goes with this object.
class StagedFileNote {
public:
    StagedFileNote() = default;
    ~StagedFileNote();
    StagedFileNote(const StagedFileNote &) = delete;
    StagedFileNote &operator=(const StagedFileNote &) = delete;

    // Writes the note for stagedPath in area; false when it cannot.
    bool write(const QString &area, const QString &stagedPath);
    void remove();

private:
    QString m_note;
};

// Removes the staged files that notes in the run area name, and the notes.
// Only a hidden file whose name has the staged form is removed. Call it only
// while holding the data folder's lock. Returns how many files were removed.
int RemoveLeftoverStagedFiles(const QString &area);
