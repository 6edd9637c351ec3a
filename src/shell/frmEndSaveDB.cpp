#include "shell/frmEndSaveDB.h"
#include "ui/Guarded.h"

#include "files/DataFolder.h"
#include "files/RestorePoints.h"
#include "data/FileCopy.h"
#include "ui/Twips.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

frmEndSaveDB::frmEndSaveDB(AppState &state, std::function<void()> endProgram, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint), m_state(state),
      m_endProgram(std::move(endProgram))
{
    setObjectName(QStringLiteral("frmEndSaveDB"));
    setWindowTitle(QStringLiteral("Kestrune"));
    setFixedSize(Px(4035), Px(1095));
    labTitle = new QLabel(this);
    labTitle->setTextFormat(Qt::PlainText);
    labTitle->setObjectName(QStringLiteral("labTitle"));
    labTitle->setGeometry(TwRect(300, 225, 3315, 240));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(TwRect(300, 525, 3390, 315));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, Guarded(this, &frmEndSaveDB::Timer1_Timer));
}

void frmEndSaveDB::start()
{
    if (!m_state.AutoBackupOn) {
        end();
        return;
    }
    if (const Outcome backup = BackupLibrary(m_state.store); !backup) {
        const Failure told = m_state.store.library().exitBackupFailure(backup.failure());
        m_state.messages().critical(told.message, kAppTitle, told.detail);
        end();
        return;
    }
    keepRestorePoints();
    labTitle->setText(QStringLiteral("Orvane人事专家数据库备份中。。。"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->geometry();
        move(avail.left() + (avail.width() - width()) / 2, avail.top() + (avail.height() - height()) / 2);
    }
    show();
    Timer1->start();
}

void frmEndSaveDB::keepRestorePoints()
{
    // Past the exit backup itself: neither a restore point that could not be
    // kept nor a second folder that is not there stops the exit; each only
    // says so.
    const QString backupFolder = BackupFolderPath(m_state.store.appDir);
    const QString exitBackup = QDir(backupFolder).filePath(QStringLiteral("ProSys.mdb"));
    const QString key = ExitBackupKey(m_state.store);
    const QDate today = m_state.today();
    const RetentionRule rule = RetentionRuleOf(m_state.store);
    if (const Outcome kept = KeepRestorePoint(backupFolder, exitBackup, key, today, rule); !kept)
        m_state.messages().critical(kept.message(), kAppTitle, kept.detail());
    const Outcome second = WriteSecondBackup(SecondBackupFolder(m_state.store), exitBackup, key, today, rule);
    // A stick not plugged in is a note; a copy that failed there is a failure.
    if (!second && second.detail().isEmpty())
        m_state.messages().information(second.message());
    else if (!second)
        m_state.messages().critical(second.message(), kAppTitle, second.detail());
}

void frmEndSaveDB::Timer1_Timer()
{
    if (m_ended)
        return;
    ProgressBar1->setValue(qMin(ProgressBar1->maximum(), ProgressBar1->value() + 5));
    if (ProgressBar1->value() >= ProgressBar1->maximum())
        end();
}

void frmEndSaveDB::end()
{
    if (m_ended)
        return;
    m_ended = true;
    Timer1->stop();
    if (m_endProgram)
        m_endProgram();
}
