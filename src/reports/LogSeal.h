#pragma once

#include "data/AuditLog.h"
#include "data/Outcome.h"
#include "reports/Reports.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class ReportPreview;

// The 日志封存单: one page that fixes the head of the operation log on
// paper, to be signed and filed away. Whoever later holds the library can
// show with kestrune-verify --head that it still contains that entry, so a
// library rolled back to an older copy, or a log cut off, shows.
struct LogSealContent {
    QString library;   // the data file's path, or the server as the program names it
    bool onServer = false;
    QDateTime at;
    QString operatorName;
    AuditHead head;
    qint64 entries = 0;
};

// The page's lines of label and value, in print order.
QList<QPair<QString, QString>> LogSealFacts(const LogSealContent &content);
// How to check the printed head, one line per step.
QStringList LogSealCheckSteps(const LogSealContent &content);
// What the page's QR code holds: the head as AuditHead::text prints it.
QByteArray LogSealQrText(const LogSealContent &content);

// Draws the page into a PDF file at pdfPath (A4, portrait). Fails when the
// file cannot be written or the head cannot be drawn as a QR code.
Outcome WriteLogSealPdf(const LogSealContent &content, const QString &pdfPath);

// Draws the page into a run folder, then calls record (which puts the seal
// on the log) and only when that succeeds shows the page in the preview
// window (application-modal, not blocking; printing from there), so that no
// seal leaves the program unrecorded. Returns the window, or nullptr after a
// message saying what failed.
ReportPreview *PreviewLogSeal(const ReportContext &ctx, QWidget *screen, const LogSealContent &content,
                              const std::function<Outcome()> &record);
