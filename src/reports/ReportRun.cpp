#include "reports/ReportRun.h"
#include "ui/Guarded.h"

#include "reports/SpreadsheetEngine.h"

#include <QThread>

ReportRun::ReportRun(EngineMaker makeEngine, Job job, QObject *parent)
    : QObject(parent), m_makeEngine(std::move(makeEngine)), m_job(std::move(job))
{
}

ReportRun::~ReportRun()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
    }
}

void ReportRun::start()
{
    m_thread.reset(QThread::create([this] { work(); }));
    // Queued to this object's thread: the run counts as finished there only
    // once the work thread is done with it.
    connect(m_thread.get(), &QThread::finished, this, Guarded([this] {
                m_finished = true;
                emit finished();
            }));
    m_thread->start();
}

void ReportRun::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_engine)
        m_engine->cancel();
}

void ReportRun::work()
{
    std::unique_ptr<SpreadsheetEngine> engine;
    try {
        if (m_makeEngine)
            engine = m_makeEngine();
    } catch (const SpreadsheetError &e) {
        m_error = e.message();
    } catch (const std::exception &e) {
        m_error = QString::fromLocal8Bit(e.what());
    }
    if (!engine) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("没有可用的电子表格程序。");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled)
            return;
        m_engine = engine.get();
    }
    FillProgress progress;
    progress.advanced = [this](int done) { emit advanced(done); };
    progress.cancelled = [this] { return m_cancelled.load(); };
    progress.firstPagesPath = m_job.firstPagesPath;
    progress.firstPagesWritten = [this] { emit firstPagesWritten(); };
    const Outcome filled = m_job.fill(*engine, m_job.mode, m_job.templatePath, m_job.outputPath, progress);
    m_error = filled.message();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_engine = nullptr;
    }
    // The spreadsheet program ends here, on the thread that started it.
    engine.reset();
    m_ok = filled.ok() && !m_cancelled;
}
