#pragma once

#include "data/Platform.h"
#include "data/Result.h"

#include <QDate>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QDialog;
class QWidget;
class SpreadsheetEngine;

// Title of every message box but the login window's.
inline const QString kAppTitle = QStringLiteral("Kestrune");

// Message boxes. Tests replace it to read what was shown and to answer.
class MessageService {
public:
    enum class Icon { Information, Critical, Question };
    virtual ~MessageService() = default;
    // A box with an OK button. A detail, when there is one, stays folded
    // away in the box until the user asks for it (the cause of a failure
    // whose text speaks in general terms).
    virtual void show(const QString &title, const QString &text, Icon icon, const QString &detail) = 0;
    // A question box with Yes and No; true for Yes.
    virtual bool ask(const QString &title, const QString &text) = 0;
    // A failure that trying again may mend, with 重试 and 取消; true for 重试.
    virtual bool retry(const QString &title, const QString &text, const QString &detail) = 0;

    void information(const QString &text, const QString &title = kAppTitle)
    {
        show(title, text, Icon::Information, QString());
    }
    void critical(const QString &text, const QString &title = kAppTitle, const QString &detail = QString())
    {
        show(title, text, Icon::Critical, detail);
    }
    bool question(const QString &text, const QString &title = kAppTitle) { return ask(title, text); }
    // A failure as a critical box: its sentence, and the engine's words
    // folded away.
    void failed(const Failure &failure) { critical(failure.message, kAppTitle, failure.detail); }
};

// The real 重试/取消 box (the fatal path uses it before any service exists).
bool BoxRetry(const QString &title, const QString &text, const QString &detail);

// The "另存为" and open dialogs. An empty result means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The save dialog asks before replacing an existing file.
    virtual QString getSaveFileName(QWidget *parent, const QString &caption, const QString &initialPath,
                                    const QString &filter) = 0;
    virtual QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter) = 0;
};

// Opening a file or a link with the desktop's default program.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // False only when no opener can be started; an opener that starts and
    // then finds no program for the link counts as opened.
    virtual bool openUrl(const QUrl &url) = 0;
    virtual QString desktopPath() const = 0;
};

// Runs a dialog of the program modally. Tests replace it to fill the
// dialog's fields and answer it.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // True when the dialog was accepted.
    virtual bool run(QDialog &dialog) = 0;
};

struct Services {
    std::shared_ptr<MessageService> messages;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<RandomSource> random;
    std::shared_ptr<FileDialogs> files;
    std::shared_ptr<DesktopServices> desktop;
    std::shared_ptr<DialogRunner> dialogs;
    // Starts a fresh spreadsheet engine for one report.
    std::function<std::unique_ptr<SpreadsheetEngine>()> makeSpreadsheet;
    // Where a run keeps short-lived files that hold personal data (previews)
    // and notes of files it is writing elsewhere: the data folder's run
    // area, cleared at the next start. Empty: the system's temporary folder,
    // and no notes.
    QString runArea;

    // The real implementations used by the program.
    static Services real();
};
