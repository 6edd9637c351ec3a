#include "admin/frmDataInOut.h"

#include "admin/DataMaintenance.h"
#include "admin/ExpertImport.h"
#include "admin/frmRestorePoints.h"
#include "data/LibrarySettings.h"
#include "files/RestorePoints.h"
#include "reports/Reports.h"
#include "reports/SpreadsheetEngine.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"
#include "files/StagedFile.h"
#include "shell/frmLibraryKey.h"
#include "ui/BusyCursor.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

QString withSuffix(const QString &path, const QString &suffix)
{
    return QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0 ? path : path + QLatin1Char('.') + suffix;
}

}   // namespace

QLabel *frmDataInOut::frameLabel(QWidget *frame, const QString &name, const QString &text, int left, int top, int width,
                                 int height)
{
    // The boxes are sized for a font whose lines are 12 pixels apart; CJK
    // fonts here space their lines wider, so the lines are drawn closer and
    // a box that still cannot hold its text first widens within its frame
    // (a line only a character too long for this font then stays one line
    // instead of running into the box below) and else grows downwards.
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>")).replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    auto *l = new QLabel(QStringLiteral("<p style=\"line-height:75%; margin:0\">%1</p>").arg(html), frame);
    l->setObjectName(name);
    l->setAccessibleName(text);   // the caption as plain text
    l->setTextFormat(Qt::RichText);
    l->setGeometry(TwRect(left, top, width, height));
    l->setFont(ScreenFont(9));
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int room = frame->width() - l->x() - Px(60);
    if (room > l->width() && l->heightForWidth(room) < l->heightForWidth(l->width()))
        l->resize(room, l->height());
    const int needed = l->heightForWidth(l->width());
    if (needed > l->height())
        l->resize(l->width(), needed);
    return l;
}

frmDataInOut::frmDataInOut(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    labPath->setFont(ScreenFont(9));
    labPath->setFixedWidth(Px(3375));

    addTitle(QStringLiteral("数据的导入与导出"));

    auto bullet = [this](int index, int left, int top) {
        QLabel *l = addLabel(ArrayName(QStringLiteral("labTu"), index), QStringLiteral("●"), left, top, 300, 300);
        l->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
        l->setFont(ScreenFont(9));
    };
    auto caption = [this](const QString &name, const QString &text, int left, int top, int width) {
        QLabel *l = addLabel(name, text, left, top, width, 315);
        l->setFont(ScreenFont(10.5, true));
    };
    auto frame = [this](const QString &name, int left, int top, int width, int height) {
        auto *g = new QGroupBox(QStringLiteral("具体操作："), this);
        g->setObjectName(name);
        g->setGeometry(TwRect(left, top, width, height));
        g->setFont(ScreenFont(9));
        MakeClassicFrame(g);
        return g;
    };

    // Initialising the database.
    bullet(0, 525, 1050);
    caption(QStringLiteral("labClrDB"), QStringLiteral("初始化数据库"), 825, 1050, 3540);
    QGroupBox *fraClr = frame(QStringLiteral("fraClr"), 825, 1500, 5040, 1815);
    frameLabel(fraClr, QStringLiteral("labClr"),
               QStringLiteral("1： 初始化数据库") + QStringLiteral("\r\n") +
                   QStringLiteral(
                       "     此功能为将当前数据库中的测试数据全部删除（只保留系统管理员权限），以方便您的正式使用。"),
               150, 300, 4740, 540);
    QPushButton *cmdClrDB =
        MakeButton(fraClr, QStringLiteral("cmdClrDB"), QStringLiteral("初始化数据库"), 375, 1200, 1890, 390);
    cmdImpAccess =
        MakeButton(fraClr, QStringLiteral("cmdImpAccess"), QStringLiteral("导入Access数据库"), 2640, 1200, 1890, 390);

    // Importing initial expert data.
    bullet(1, 525, 3750);
    caption(ArrayName(QStringLiteral("labExpInput"), 0), QStringLiteral("初始专家数据的导入"), 825, 3750, 3840);
    QGroupBox *fraOP0 = frame(ArrayName(QStringLiteral("fraOP"), 0), 825, 4200, 5040, 3390);
    frameLabel(
        fraOP0, QStringLiteral("labOP1"),
        QStringLiteral("1： 下载专家数据导入表") + QStringLiteral("\r\n") +
            QStringLiteral(
                "     请先下载专家数据导入表（Excel表）保存到本机，然后按照表中的项目把专家信息正确的填入此表。"),
        150, 300, 4740, 540);
    QPushButton *cmdDownLoadExp = MakeButton(fraOP0, QStringLiteral("cmdDownLoadExp"),
                                             QStringLiteral("下载专家数据导入表"), 375, 1200, 1890, 390);
    frameLabel(fraOP0, QStringLiteral("labOP2"),
               QStringLiteral("2： 上传初始专家数据") + QStringLiteral("\r\n") +
                   QStringLiteral("     把已经填好的专家数据导入表上传到当前的数据库中，"),
               150, 1875, 4740, 390);
    QLabel *labOP5 = frameLabel(fraOP0, QStringLiteral("labOP5"), QStringLiteral("不覆盖原有的专家数据信息。"), 150,
                                2250, 4440, 165);
    labOP5->setFont(ScreenFont(9, true));
    QPushButton *cmdUpExp =
        MakeButton(fraOP0, QStringLiteral("cmdUpExp"), QStringLiteral("上传初始专家数据"), 375, 2775, 1890, 390);

    // Backing up and restoring the expert library.
    bullet(2, 6225, 1050);
    caption(ArrayName(QStringLiteral("labExpInput"), 1), QStringLiteral("专家库的备份与更新"), 6525, 1050, 2490);
    QGroupBox *fraOP1 = frame(ArrayName(QStringLiteral("fraOP"), 1), 6525, 1500, 4965, 6090);
    frameLabel(fraOP1, QStringLiteral("labOP3"),
               QStringLiteral("1： 专家库的备份") + QStringLiteral("\r\n") +
                   QStringLiteral("     此功能为把现有的专家库中的全部数据进行备份（生成XXX.mdb文件并保存到本机）。"),
               150, 300, 4665, 540);
    QPushButton *cmdDBBak =
        MakeButton(fraOP1, QStringLiteral("cmdDBBak"), QStringLiteral("备份专家库"), 375, 1200, 1365, 390);
    frameLabel(fraOP1, QStringLiteral("labOP4"),
               QStringLiteral("2： 专家库的更新") + QStringLiteral("\r\n") +
                   QStringLiteral("     用以前备份过的专家库的所有信息代替现有的专家库，使现有的专家库得到更新。"),
               150, 2100, 4740, 615);
    QPushButton *cmdDBUpd =
        MakeButton(fraOP1, QStringLiteral("cmdDBUpd"), QStringLiteral("更新专家库"), 375, 3000, 1365, 390);
    frameLabel(fraOP1, QStringLiteral("labOP6"),
               QStringLiteral("3： 自动备份数据库") + QStringLiteral("\r\n\r\n\r\n") +
                   QStringLiteral("选中状态（默认）： 每次关闭本软件时会自动备份数据库到以下目录：") +
                   backupFolderText() + QStringLiteral("\r\n") +
                   QStringLiteral("非选中状态： 每次关闭本软件时不会自动备份数据库。"),
               150, 3825, 4740, 1290);
    chkSaveDB = new QCheckBox(QStringLiteral("自动备份数据库"), fraOP1);
    chkSaveDB->setObjectName(QStringLiteral("chkSaveDB"));
    chkSaveDB->setGeometry(TwRect(375, 4050, 2265, 240));
    chkSaveDB->setFont(ScreenFont(9));
    chkSaveDB->setChecked(true);
    chkSaveDB->raise();
    // Below the explanation of the exit backup: where it is also written.
    QPushButton *cmdSecondBackup =
        MakeButton(fraOP1, QStringLiteral("cmdSecondBackup"), QStringLiteral("备份设置…"), 375, 5400, 1890, 390);
    connect(chkSaveDB, &QCheckBox::toggled, this, Guarded([this](bool on) { m_state.AutoBackupOn = on; }));

    // Shown only while a long import runs.
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(TwRect(825, 7740, 10665, 255));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->hide();

    connect(cmdClrDB, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdClrDB_Click));
    connect(cmdDownLoadExp, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdDownLoadExp_Click));
    connect(cmdUpExp, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdUpExp_Click));
    connect(cmdDBBak, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdDBBak_Click));
    connect(cmdDBUpd, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdDBUpd_Click));
    connect(cmdImpAccess, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdImpAccess_Click));
    connect(cmdSecondBackup, &QPushButton::clicked, this, Guarded(this, &frmDataInOut::cmdSecondBackup_Click));
}

void frmDataInOut::onLoad()
{
    // The box starts ticked, as automatic backup starts on.
    m_state.AutoBackupOn = true;
    // Bringing a whole library in replaces everything: for administrators only.
    cmdImpAccess->setVisible(m_state.session.isAdministrator());
}

bool frmDataInOut::requireAdministrator()
{
    if (m_state.session.isAdministrator())
        return true;
    m_state.messages().critical(QStringLiteral("只有系统管理员才能进行此操作！"));
    return false;
}

void frmDataInOut::showOutcome(const Outcome &outcome)
{
    if (outcome.ok())
        m_state.messages().information(outcome.message());
    else
        m_state.messages().critical(outcome.message(), kAppTitle, outcome.detail());
}

void frmDataInOut::showProgress(int done, int total)
{
    ProgressBar1->setRange(0, qMax(1, total));
    ProgressBar1->setValue(done);
    ProgressBar1->repaint();
}

QString frmDataInOut::backupFolderText() const
{
    // Installed, the backup is not in the installation folder: name the real one.
    if (m_state.portable)
        return QStringLiteral("  （安装目录）\\数据库备份\\");
    return QStringLiteral("  ") + QDir::toNativeSeparators(BackupFolderPath(m_state.store.appDir) + QLatin1Char('/'));
}

QString frmDataInOut::desktopFile(const QString &name) const
{
    return QDir(m_state.services.desktop->desktopPath()).filePath(name);
}

// What initialising and restoring change: the data and the draw in progress.
static MaintenanceTarget maintenanceTarget(AppState &state) { return {state.store, state.draw, state.today()}; }

static QString unsavedDrawNote(const DrawWorkspace &draw)
{
    return draw.DrawUnsaved ? QStringLiteral("\n当前未保存的抽取记录将被放弃。") : QString();
}

void frmDataInOut::cmdClrDB_Click()
{
    if (!requireAdministrator())
        return;
    if (!m_state.messages().question(
            QStringLiteral("初始化数据库将删除全部专家信息、抽取记录以及系统管理员以外的用户，"
                           "删除前会先把当前数据库备份到“%1”文件夹。%2\n您确定初始化数据库吗？")
                .arg(kBackupFolderName, unsavedDrawNote(m_state.draw))))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = InitialiseDatabase(maintenanceTarget(m_state));
    }
    showOutcome(outcome);
}

void frmDataInOut::cmdDownLoadExp_Click()
{
    QString path = m_state.services.files->getSaveFileName(this, QStringLiteral("另存为"),
                                                           desktopFile(ExpertImport::kTemplateFileName),
                                                           QStringLiteral("Excel 工作簿 (*.xls)"));
    if (path.isEmpty())
        return;
    const QString chosen = path;
    path = withSuffix(path, QStringLiteral("xls"));
    if (!MayReplaceCompletedName(m_state.messages(), chosen, path))
        return;
    if (!m_state.services.makeSpreadsheet) {
        m_state.messages().critical(QStringLiteral("下载专家数据导入表失败：没有可用的电子表格程序。"));
        return;
    }
    const QString failed = QStringLiteral("下载专家数据导入表失败：\n");
    // What stands in the way is said before the office starts.
    if (const QString location = SaveLocationProblem(path); !location.isEmpty()) {
        m_state.messages().critical(failed + location);
        return;
    }
    // Never a half-written workbook, nor a spoilt one it was to replace.
    StagedFile part(path, QStringLiteral(".xls"), m_state.services.runArea);
    Outcome written = part.create();
    if (!written)
        written = Outcome::fail(written.message() + QStringLiteral("\n请检查文件夹的权限，或另选保存位置。"),
                                written.detail());
    if (written) {
        BusyCursor busy;
        written = ExpertImport::WriteTemplateFile(m_state.services.makeSpreadsheet, part.path(), m_state.store);
        if (written)
            written = part.place();
    }
    if (!written) {
        m_state.messages().critical(failed + written.message(), kAppTitle, written.detail());
        return;
    }
    m_state.messages().information(
        QStringLiteral("专家数据导入表已保存到：\n%1\n请按照表中的项目填写专家信息，然后上传。")
            .arg(QDir::toNativeSeparators(path)));
}

void frmDataInOut::cmdUpExp_Click()
{
    if (!requireAdministrator())
        return;
    const QString path =
        m_state.services.files->getOpenFileName(this, QStringLiteral("打开"), m_state.services.desktop->desktopPath(),
                                                QStringLiteral("专家数据导入表 (*.xls *.xlsx *.ods *.csv)"));
    if (path.isEmpty())
        return;

    auto progress = [this](int done, int total) { showProgress(done, total); };
    ExpertImport::ImportSheet sheet;
    ExpertImport::CheckResult check;
    {
        BusyCursor busy;
        ProgressBar1->show();
        Result<ExpertImport::ImportSheet> read =
            ExpertImport::ReadImportFile(m_state.services.makeSpreadsheet, path, progress);
        if (!read) {
            ProgressBar1->hide();
            m_state.messages().critical(QStringLiteral("无法读取专家数据导入表，没有导入任何专家：\n") + read.message(),
                                        kAppTitle, read.detail());
            return;
        }
        sheet = std::move(read).value();
        check = ExpertImport::CheckSheet(sheet, m_state.store, m_state.today());
        ProgressBar1->hide();
    }
    const QString refusal = ExpertImport::RefusalText(check, m_state.store);
    if (!refusal.isEmpty()) {
        m_state.messages().critical(refusal);
        return;
    }
    // What the upload would do unasked is said first; the user may cancel.
    if (!m_state.messages().question(
            QStringLiteral(
                "导入表中共有 %1 位专家，上传后将添加到当前的专家库中，不覆盖原有的专家数据信息。\n%2您确定上传吗？")
                .arg(check.records.size())
                .arg(ExpertImport::NoticeText(check))))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        ProgressBar1->show();
        outcome = ExpertImport::AddExperts(m_state.store, check.records, progress);
        ProgressBar1->hide();
    }
    showOutcome(outcome);
}

void frmDataInOut::cmdDBBak_Click()
{
    QString path = m_state.services.files->getSaveFileName(this, QStringLiteral("另存为"),
                                                           desktopFile(DefaultBackupFileName(m_state.today())),
                                                           QStringLiteral("专家库备份 (*.mdb)"));
    if (path.isEmpty())
        return;
    const QString chosen = path;
    path = withSuffix(path, QStringLiteral("mdb"));
    if (!MayReplaceCompletedName(m_state.messages(), chosen, path))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = BackupDatabase(m_state.store, path);
    }
    showOutcome(outcome);
}

void frmDataInOut::cmdDBUpd_Click()
{
    if (!requireAdministrator())
        return;
    // The restore points kept at exit come first; 浏览… picks any other file.
    QList<RestorePoint> points;
    {
        BusyCursor busy;
        const QString libraryKey = ExitBackupKey(m_state.store);
        const QStringList keys = libraryKey.isEmpty() ? QStringList{QString()} : QStringList{libraryKey, QString()};
        points = ListRestorePoints(BackupFolderPath(m_state.store.appDir), keys);
    }
    QString path;
    if (!points.isEmpty()) {
        frmRestorePoints chooser(points, this);
        if (!m_state.services.dialogs->run(chooser))
            return;
        path = chooser.chosenPath();
    }
    if (path.isEmpty())
        path = m_state.services.files->getOpenFileName(this, QStringLiteral("打开"),
                                                       m_state.services.desktop->desktopPath(),
                                                       QStringLiteral("专家库备份 (*.mdb);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    // A backup opens with the library's password or the default one; one
    // made under another password is opened with the password typed here.
    std::optional<QString> key;
    {
        BusyCursor busy;
        key = KnownBackupKey(m_state.store, path);
        // What cannot be an encrypted library at all is refused below with
        // the reason, not asked a password for.
        if (!key && !MayBeEncryptedLibrary(path))
            key = QString();
    }
    for (bool refused = false; !key;) {
        const std::optional<LibraryKeyEntry> typed =
            AskLibraryKey(*m_state.services.dialogs, path, refused, false, this);
        if (!typed)
            return;
        if (KeyOpensFile(path, typed->key))
            key = typed->key;
        refused = true;
    }
    Outcome usable;
    {
        BusyCursor busy;
        usable = CheckBackupFile(m_state.store, path, *key);
    }
    if (!usable) {
        m_state.messages().critical(usable.message(), kAppTitle, usable.detail());
        return;
    }
    if (!m_state.messages().question(QStringLiteral("更新专家库将用所选备份中的全部数据代替现有的专家库，"
                                                    "现有的专家库会先备份到“%1”文件夹。%2\n您确定更新专家库吗？")
                                         .arg(kBackupFolderName, unsavedDrawNote(m_state.draw))))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = RestoreDatabase(maintenanceTarget(m_state), path, *key);
    }
    showOutcome(outcome);
}

void frmDataInOut::cmdSecondBackup_Click()
{
    if (!requireAdministrator())
        return;
    frmSecondBackup dialog(SecondBackupFolder(m_state.store), RetentionRuleOf(m_state.store), this);
    if (!m_state.services.dialogs->run(dialog))
        return;
    const QString folder = dialog.folder();
    if (!folder.isEmpty()) {
        const QString problem = SecondBackupFolderProblem(folder, m_state.store.appDir);
        if (!problem.isEmpty()) {
            m_state.messages().critical(problem);
            return;
        }
    }
    const QString stored = folder.isEmpty() ? QString() : QFileInfo(folder).absoluteFilePath();
    if (const Outcome written = WriteBackupSettings(m_state.store, dialog.rule(), stored); !written) {
        m_state.messages().critical(written.message(), kAppTitle, written.detail());
        return;
    }
    const RetentionRule rule = dialog.rule();
    const QString kept = QStringLiteral("每次退出时保留最近 %1 天、%2 周、%3 个月各一份还原点。")
                             .arg(rule.daily)
                             .arg(rule.weekly)
                             .arg(rule.monthly);
    m_state.messages().information(
        kept + (stored.isEmpty() ? QStringLiteral("不用第二备份文件夹。")
                                 : QStringLiteral("数据库还会备份到“%1”。").arg(QDir::toNativeSeparators(stored))));
}

void frmDataInOut::cmdImpAccess_Click()
{
    if (!requireAdministrator())
        return;
    const QString path =
        m_state.services.files->getOpenFileName(this, QStringLiteral("打开"), m_state.services.desktop->desktopPath(),
                                                QStringLiteral("Access 数据库 (*.mdb *.accdb);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    Migrate::ImportPlan plan;
    {
        BusyCursor busy;
        // A copy of this library, password and all, is no foreign file.
        Result<Migrate::ImportPlan> planned = Migrate::PlanAccessImport(path, {m_state.store.source.key});
        if (!planned) {
            m_state.messages().critical(planned.message(), kAppTitle, planned.detail());
            return;
        }
        plan = std::move(planned).value();
    }
    if (!plan.canImport()) {
        m_state.messages().critical(Migrate::RefusalText(plan));
        return;
    }
    if (!m_state.messages().question(Migrate::ConfirmationText(plan) + unsavedDrawNote(m_state.draw)))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = ImportAccessLibrary(maintenanceTarget(m_state), plan);
    }
    showOutcome(outcome);
}
