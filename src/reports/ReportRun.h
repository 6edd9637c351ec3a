#pragma once

#include "reports/Reports.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;
class SpreadsheetEngine;

// One report filled on a thread of its own, so that the windows keep
// painting while the spreadsheet program works. The engine is made, used and
// ended on that thread; cancel() ends the spreadsheet program from the
// window's thread at once. The signals arrive on the window's thread.
class ReportRun : public QObject {
    Q_OBJECT
public:
    // Fills the template into outputPath; what it fills from is its own copy,
    // as the screen's list may change meanwhile.
    using Fill = std::function<Outcome(SpreadsheetEngine &, ReportMode, const QString &templatePath,
                                       const QString &outputPath, const FillProgress &)>;
    struct Job {
        ReportMode mode = ReportMode::Preview;
        QString templatePath;
        QString outputPath;
        QString firstPagesPath;   // a long preview's first pages; "" for none
        Fill fill;
    };
    using EngineMaker = std::function<std::unique_ptr<SpreadsheetEngine>()>;

    ReportRun(EngineMaker makeEngine, Job job, QObject *parent = nullptr);
    // Cancels a run still going and waits for its thread.
    ~ReportRun() override;

    void start();
    // Abandons the report: nothing more is written and the spreadsheet
    // program ends. finished follows.
    void cancel();
    bool isFinished() const { return m_finished; }
    bool succeeded() const { return m_finished && m_ok; }
    bool wasCancelled() const { return m_cancelled; }
    QString errorText() const { return m_error; }

signals:
    void advanced(int done);   // 0 to kFillSteps
    void firstPagesWritten();
    void finished();

private:
    void work();

    EngineMaker m_makeEngine;
    Job m_job;
    std::unique_ptr<QThread> m_thread;
    std::mutex m_mutex;   // guards m_engine against cancel()
    SpreadsheetEngine *m_engine = nullptr;
    std::atomic<bool> m_cancelled = false;
    bool m_ok = false;   // written by the thread before it ends
    bool m_finished = false;
    QString m_error;
};
