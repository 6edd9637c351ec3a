#include "app/Startup.h"

#include "data/Database.h"
#include "files/DataFolder.h"
#include "files/RunFolders.h"

#include <QObject>
#include <QThread>

Startup::Startup(QString appDir) : m_appDir(std::move(appDir)), m_lock(m_appDir) {}

Startup::~Startup()
{
    if (m_check)
        m_check->wait();
}

Outcome Startup::prepare(bool serverLibrary)
{
    const Outcome locked = m_lock.acquire(serverLibrary);
    if (!locked)
        return locked;
    // Only now is nobody else writing these.
    RemoveLeftoverStagedCopies(m_appDir);
    RemoveLeftoverRunFolders(RunAreaPath(m_appDir));
    RemoveLeftoverStagedFiles(RunAreaPath(m_appDir));
    return Outcome::success();
}

void Startup::startIntegrityCheck(QObject *context, std::function<void(const QString &message)> whenDamaged)
{
    if (m_check)
        return;
    m_check.reset(QThread::create([this] {
        const QString problem = CheckFileIntegrity(DataFilePath(m_appDir), m_key);
        if (!problem.isEmpty())
            m_report = DamagedDataFileMessage(m_appDir, problem, m_key);
    }));
    if (context && whenDamaged)
        QObject::connect(m_check.get(), &QThread::finished, context, [this, whenDamaged = std::move(whenDamaged)] {
            if (!m_report.isEmpty())
                whenDamaged(m_report);
        });
    m_check->start();
}

QString Startup::integrityReport()
{
    if (!m_check)
        startIntegrityCheck(nullptr, {});
    m_check->wait();
    return m_report;
}
