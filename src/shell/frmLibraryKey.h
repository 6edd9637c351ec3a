#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class DialogRunner;

// A password typed for a data file that the default key does not open.
struct LibraryKeyEntry {
    QString key;
    // Kept by the desktop's secret service for the next start.
    bool remember = false;
};

// Under which name the secret service keeps the password of a data file.
QString LibrarySecretKey(const QString &dataFile);

// Asks for the password of a data file (the library's at start, or a
// backup's). refused: the last password typed did not open it.
// offerRemember: the "记住" box is shown (not for a backup).
class frmLibraryKey : public QDialog {
    Q_OBJECT
public:
    frmLibraryKey(const QString &file, bool refused, bool offerRemember, QWidget *parent = nullptr);

    LibraryKeyEntry entry() const;

private:
    QLabel *lblMsg;
    QLineEdit *txtKey;
    QCheckBox *chkRemember;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};

// Runs the dialog through runner (the program's, or a test's); nullopt when
// cancelled or nothing was typed.
std::optional<LibraryKeyEntry> AskLibraryKey(DialogRunner &runner, const QString &file, bool refused,
                                             bool offerRemember, QWidget *parent = nullptr);
