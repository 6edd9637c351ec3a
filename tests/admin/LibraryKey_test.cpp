#include "TestApp.h"
#include "TestFiles.h"

#include "admin/DataMaintenance.h"
#include "admin/frmDbPassword.h"
#include "app/SourceStartup.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/FileBackend.h"
#include "data/KeyFile.h"
#include "data/Schema.h"
#include "files/DataFolder.h"
#include "shell/ConnectionSettings.h"
#include "shell/frmLibraryKey.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QQueue>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

constexpr const char *kNewKey = "Library-Pass-2026";
// A name that appears nowhere but in the one expert record.
const QString kExpertName = QStringLiteral("欧阳明远");

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The sqlcipher shell, as someone holding a copy of the file would use it.
QString shellRead(const QString &path, const QString &password)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), QStringLiteral("-bail"), path});
    if (!shell.waitForStarted())
        return QStringLiteral("<sqlcipher did not start>");
    shell.write(QStringLiteral("PRAGMA key = '%1';\nPRAGMA cipher_page_size = 1024;\nPRAGMA kdf_iter = 64000;\n"
                               "SELECT Name FROM expert_msg;\n")
                    .arg(password)
                    .toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished();
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
}

QStringList expertNames(const QString &path, const QString &key)
{
    Connection conn = Connection::open(path, key);
    Statement st = conn.prepare("SELECT Name FROM expert_msg ORDER BY Id");
    QStringList names;
    while (st.step())
        names << st.text(0);
    return names;
}

// Files beside the data file other than itself and its lock.
QStringList strayFiles(const QString &dataFile)
{
    const QFileInfo info(dataFile);
    QStringList found;
    for (const QString &name : QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden))
        if (name != info.fileName() && name.startsWith(info.fileName()) && !name.endsWith(".lock"))
            found << name;
    return found;
}

class LibraryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { app.addExpert(kExpertName); }
    TestApp app;
};

}   // namespace

TEST_F(LibraryKeyTest, ARekeyedLibraryOpensOnlyWithItsOwnPasswordAndSoDoItsBackups)
{
    ASSERT_EQ(shellRead(app.dataFile(), kDatabasePassword), kExpertName) << "the default key reads it before";
    const Outcome changed = ChangeLibraryPassword(app.maintenanceTarget(), kNewKey);
    ASSERT_TRUE(changed.ok()) << changed.message().toStdString() << changed.detail().toStdString();
    EXPECT_TRUE(changed.message().contains("无法恢复"));
    EXPECT_EQ(app.state.store.source.key, kNewKey);

    // Someone holding a copy: neither the default key nor the raw bytes tell anything.
    EXPECT_FALSE(KeyOpensFile(app.dataFile(), QString()));
    EXPECT_EQ(shellRead(app.dataFile(), kDatabasePassword), "<failed>");
    EXPECT_FALSE(fileBytes(app.dataFile()).contains(kExpertName.toUtf8()));
    // The password opens it in any SQLCipher 3 program.
    EXPECT_EQ(shellRead(app.dataFile(), kNewKey), kExpertName);

    // The log names the change, never the password.
    const Result<QList<AuditEntry>> log = ReadAuditEntries(app.state.store, {});
    ASSERT_TRUE(log.ok());
    ASSERT_FALSE(log.value().isEmpty());
    EXPECT_EQ(log.value().last().kind, AuditKind::Setting);
    EXPECT_EQ(log.value().last().subject, "数据库密码");
    for (const AuditEntry &e : log.value())
        EXPECT_FALSE(e.detail.contains(kNewKey)) << e.detail.toStdString();

    // The session goes on with the new key, and so do separate connections.
    LoadAllTables(app.state.store);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
    EXPECT_EQ(app.countRows("expert_msg"), 1);
    app.addExpert("第二位");
    EXPECT_EQ(expertNames(app.dataFile(), kNewKey), QStringList({kExpertName, "第二位"}));

    // The copy made before is gone, the exit backup rewritten under the new key.
    const QStringList copies = QDir(BackupFolderPath(app.appDir())).entryList({"ProSys_设置密码前*"}, QDir::Files);
    EXPECT_TRUE(copies.isEmpty()) << copies.join(',').toStdString();
    const QString exitBackup = QDir(BackupFolderPath(app.appDir())).filePath("ProSys.mdb");
    ASSERT_TRUE(QFile::exists(exitBackup));
    EXPECT_FALSE(KeyOpensFile(exitBackup, QString()));
    EXPECT_EQ(expertNames(exitBackup, kNewKey), QStringList{kExpertName});

    // A backup written now carries the key too.
    const QString backup = QDir(app.appDir()).filePath("backup.mdb");
    ASSERT_TRUE(BackupDatabase(app.state.store, backup).ok());
    EXPECT_EQ(shellRead(backup, kDatabasePassword), "<failed>");
    EXPECT_EQ(expertNames(backup, kNewKey).size(), 2);
    EXPECT_EQ(KnownBackupKey(app.state.store, backup), std::optional<QString>(kNewKey));

    // Changed once more, the old password no longer opens it.
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), "Another-Pass-99").ok());
    EXPECT_FALSE(KeyOpensFile(app.dataFile(), kNewKey));
    EXPECT_EQ(expertNames(app.dataFile(), "Another-Pass-99").size(), 2);
}

TEST_F(LibraryKeyTest, AnInterruptedRekeyLeavesTheFileAsItWasWithItsOldKey)
{
    using Step = LibraryBackend::KeyStep;
    struct Case {
        const char *name;
        Step step;
        // What the interruption does to the staged copy before failing.
        bool spoilCopy;
    } cases[] = {
        {"the staged copy cannot be written", Step::StagedCopy, false},
        {"the re-keying fails", Step::Rekeyed, false},
        {"the check fails", Step::Checked, false},
        {"the rename fails", Step::Placing, false},
        {"the re-keyed copy is damaged: the real check refuses it", Step::Rekeyed, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = fileBytes(app.dataFile());
        const LibraryBackend::KeyProbe probe = [&](Step step, const QString &staged) {
            if (step != c.step)
                return Outcome::success();
            if (!c.spoilCopy)
                return Outcome::fail(QStringLiteral("磁盘已满"));
            QFile f(staged);
            if (f.open(QIODevice::ReadWrite)) {
                f.seek(2048);
                f.write(QByteArray(4096, '\x5a'));
            }
            return Outcome::success();
        };
        const Outcome changed = ChangeLibraryPassword(app.maintenanceTarget(), kNewKey, probe);
        ASSERT_FALSE(changed.ok());
        EXPECT_TRUE(changed.message().contains("原来的密码仍然有效")) << changed.message().toStdString();
        if (!c.spoilCopy)
            EXPECT_TRUE(changed.message().contains("磁盘已满"));
        EXPECT_EQ(fileBytes(app.dataFile()), before);
        EXPECT_TRUE(app.state.store.source.key.isEmpty());
        EXPECT_EQ(expertNames(app.dataFile(), QString()), QStringList{kExpertName});
        EXPECT_FALSE(KeyOpensFile(app.dataFile(), kNewKey));
        EXPECT_TRUE(strayFiles(app.dataFile()).isEmpty()) << strayFiles(app.dataFile()).join(',').toStdString();
        // The session still works on the old file.
        LoadAllTables(app.state.store);
        EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
    }
}

TEST_F(LibraryKeyTest, APasswordIsRefusedWhenWeakAndAServerLibraryHasNone)
{
    for (const QString &weak : {QString("short"), QString(kDatabasePassword), QString(" padded-password ")}) {
        SCOPED_TRACE(weak.toStdString());
        const Outcome o = ChangeLibraryPassword(app.maintenanceTarget(), weak);
        EXPECT_FALSE(o.ok());
        EXPECT_TRUE(KeyOpensFile(app.dataFile(), QString()));
    }
}

TEST_F(LibraryKeyTest, TheDialogWarnsFirstAndChecksTheCurrentPassword)
{
    app.state.session.CurrentUserRole = 0;
    {
        SCOPED_TRACE("answered No: nothing changes");
        frmDbPassword dialog(app.state);
        dialog.findChild<QLineEdit *>("txtNewKey")->setText(kNewKey);
        dialog.findChild<QLineEdit *>("txtNewKeyCheck")->setText(kNewKey);
        app.messages->answers.enqueue(false);
        dialog.cmdOK_Click();
        ASSERT_FALSE(app.messages->shown.isEmpty());
        EXPECT_TRUE(app.messages->shown.last().text.contains("无法找回"));
        EXPECT_TRUE(KeyOpensFile(app.dataFile(), QString()));
    }
    {
        SCOPED_TRACE("the two boxes differ");
        frmDbPassword dialog(app.state);
        dialog.findChild<QLineEdit *>("txtNewKey")->setText(kNewKey);
        dialog.findChild<QLineEdit *>("txtNewKeyCheck")->setText("something-else");
        dialog.cmdOK_Click();
        EXPECT_EQ(app.messages->lastText(), "两次输入的新密码不一致。");
    }
    {
        SCOPED_TRACE("confirmed");
        frmDbPassword dialog(app.state);
        dialog.findChild<QLineEdit *>("txtNewKey")->setText(kNewKey);
        dialog.findChild<QLineEdit *>("txtNewKeyCheck")->setText(kNewKey);
        app.messages->answers.enqueue(true);
        dialog.cmdOK_Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(KeyOpensFile(app.dataFile(), QString()));
    }
    {
        SCOPED_TRACE("a wrong current password is refused");
        frmDbPassword dialog(app.state);
        ASSERT_FALSE(dialog.findChild<QLineEdit *>("txtOldKey")->isHidden());
        dialog.findChild<QLineEdit *>("txtOldKey")->setText("not-the-password");
        dialog.findChild<QLineEdit *>("txtNewKey")->setText("Next-Pass-2027");
        dialog.findChild<QLineEdit *>("txtNewKeyCheck")->setText("Next-Pass-2027");
        dialog.cmdOK_Click();
        EXPECT_EQ(app.messages->lastText(), "当前数据库密码不正确。");
        EXPECT_EQ(expertNames(app.dataFile(), kNewKey), QStringList{kExpertName});
    }
}

TEST_F(LibraryKeyTest, ARestoreAsksForTheBackupsPasswordAndKeepsTheLibrarysOwn)
{
    // A backup made while the library had another password.
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), "Old-Backup-Pass").ok());
    const QString backup = QDir(app.appDir()).filePath("old.mdb");
    ASSERT_TRUE(BackupDatabase(app.state.store, backup).ok());
    app.addExpert("后来的专家");
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), kNewKey).ok());

    EXPECT_EQ(KnownBackupKey(app.state.store, backup), std::nullopt);
    EXPECT_TRUE(MayBeEncryptedLibrary(backup));
    const Outcome wrong = CheckBackupFile(app.state.store, backup, "guess-guess");
    ASSERT_FALSE(wrong.ok());
    EXPECT_TRUE(wrong.message().contains("密码不正确")) << wrong.message().toStdString();

    const Outcome restored = RestoreDatabase(app.maintenanceTarget(), backup, "Old-Backup-Pass");
    ASSERT_TRUE(restored.ok()) << restored.message().toStdString() << restored.detail().toStdString();
    // The backup's content under the library's own password.
    EXPECT_EQ(expertNames(app.dataFile(), kNewKey), QStringList{kExpertName});
    EXPECT_FALSE(KeyOpensFile(app.dataFile(), "Old-Backup-Pass"));
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);

    // A backup from before any password opens with the default key and is
    // re-keyed on its way in as well.
    TestApp other;
    other.addExpert("默认密钥的专家");
    const QString plain = QDir(app.appDir()).filePath("plain.mdb");
    ASSERT_TRUE(BackupDatabase(other.state.store, plain).ok());
    EXPECT_EQ(KnownBackupKey(app.state.store, plain), std::optional<QString>(QString()));
    ASSERT_TRUE(RestoreDatabase(app.maintenanceTarget(), plain, QString()).ok());
    EXPECT_EQ(expertNames(app.dataFile(), kNewKey), QStringList{"默认密钥的专家"});
    EXPECT_FALSE(KeyOpensFile(app.dataFile(), QString()));
}

namespace {

class MemorySecrets : public SecretStore {
public:
    std::map<QString, QString> kept;
    // A secret service that does not answer, or one that reads but refuses changes.
    bool down = false;
    bool refusesChanges = false;
    Result read(const QString &key) override
    {
        if (down)
            return {Status::Unavailable, {}, QStringLiteral("no service")};
        const auto it = kept.find(key);
        return it == kept.end() ? Result{Status::NotFound, {}, {}} : Result{Status::Done, it->second, {}};
    }
    Result write(const QString &key, const QString &secret) override
    {
        if (down || refusesChanges)
            return {Status::Unavailable, {}, QStringLiteral("refused")};
        kept[key] = secret;
        return {Status::Done, {}, {}};
    }
    Result remove(const QString &key) override
    {
        if (down || refusesChanges)
            return {Status::Unavailable, {}, QStringLiteral("refused")};
        kept.erase(key);
        return {Status::Done, {}, {}};
    }
};

}   // namespace

TEST_F(LibraryKeyTest, AtStartTheLibrarysPasswordIsKeptOrAskedUntilItOpens)
{
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), kNewKey).ok());
    const QString file = app.dataFile();
    struct Case {
        const char *name;
        QString kept;                                  // in the secret service
        QList<std::optional<LibraryKeyEntry>> typed;   // the prompt's answers
        bool opens;
        QList<bool> refusedShown;   // the prompt's "wrong password" line, per prompt
        QString keptAfter;
    } cases[] = {
        {"kept by the secret service", kNewKey, {}, true, {}, kNewKey},
        {"asked, wrong then right, remembered",
         "",
         {LibraryKeyEntry{"wrong-password", false}, LibraryKeyEntry{kNewKey, true}},
         true,
         {false, true},
         kNewKey},
        {"asked, not remembered", "", {LibraryKeyEntry{kNewKey, false}}, true, {false}, ""},
        {"a stale kept password is asked anew and forgotten",
         "old-password",
         {LibraryKeyEntry{kNewKey, false}},
         true,
         {false},
         ""},
        {"cancelled: the start ends with the file's failure", "", {std::nullopt}, false, {false}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemorySecrets secrets;
        if (!c.kept.isEmpty())
            secrets.kept[LibrarySecretKey(file)] = c.kept;
        QQueue<std::optional<LibraryKeyEntry>> answers;
        for (const auto &a : c.typed)
            answers.enqueue(a);
        QList<bool> refusedShown;
        SourceStartupServices services;
        services.messages = app.messages.get();
        services.secrets = &secrets;
        services.dataFile = file;
        services.open = [&](const DataSource &s) { LibraryBackend::ForSource(s, app.appDir())->prepare(); };
        services.askLibraryKey = [&](const QString &asked, bool refused) {
            EXPECT_EQ(asked, file);
            refusedShown << refused;
            return answers.isEmpty() ? std::optional<LibraryKeyEntry>() : answers.dequeue();
        };
        if (c.opens) {
            const std::optional<DataSource> opened = OpenSource(DataSource{}, services);
            ASSERT_TRUE(opened);
            EXPECT_EQ(opened->key, kNewKey);
        } else {
            try {
                OpenSource(DataSource{}, services);
                ADD_FAILURE() << "opened without the password";
            } catch (const DbError &e) {
                EXPECT_TRUE(e.notADatabase());
            }
        }
        EXPECT_EQ(refusedShown, c.refusedShown);
        const auto it = secrets.kept.find(LibrarySecretKey(file));
        EXPECT_EQ(it == secrets.kept.end() ? QString() : it->second, c.keptAfter);
    }
}

TEST(KeyFile, TheToolsTakeTheKeyFileOrTheDefaultKey)
{
    TestApp app;
    app.addExpert(kExpertName);
    const QDir dir(app.appDir());
    const QString keyFile = dir.filePath("key.txt");
    const QString wrongFile = dir.filePath("wrong.txt");
    const QString emptyFile = dir.filePath("empty.txt");
    WriteFile(keyFile, QByteArray(kNewKey) + "\n");
    WriteFile(wrongFile, "wrong-password\n");
    WriteFile(emptyFile, "\n");

    QStringList args{"--key-file", keyFile, "FILE"};
    EXPECT_EQ(TakeKeyFileOption(args), std::optional<QString>(keyFile));
    EXPECT_EQ(args, QStringList{"FILE"});
    QStringList without{"FILE"};
    EXPECT_EQ(TakeKeyFileOption(without), std::optional<QString>(QString()));
    QStringList dangling{"FILE", "--key-file"};
    EXPECT_EQ(TakeKeyFileOption(dangling), std::nullopt);

    // Before the library has a password: the default key, no question.
    EXPECT_EQ(KeyForDataFile(app.dataFile(), QString()).valueOr("<failed>"), QString());
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), kNewKey).ok());
    EXPECT_EQ(KeyForDataFile(app.dataFile(), keyFile).valueOr("<failed>"), kNewKey);
    const Result<QString> wrong = KeyForDataFile(app.dataFile(), wrongFile);
    ASSERT_FALSE(wrong.ok());
    EXPECT_TRUE(wrong.message().contains("打不开"));
    EXPECT_FALSE(KeyForDataFile(app.dataFile(), emptyFile).ok());
    EXPECT_FALSE(KeyForDataFile(app.dataFile(), dir.filePath("missing.txt")).ok());
    // Without a terminal to ask at and without a key file it fails, naming the option.
    if (!::isatty(STDIN_FILENO)) {
        const Result<QString> none = KeyForDataFile(app.dataFile(), QString());
        ASSERT_FALSE(none.ok());
        EXPECT_TRUE(none.message().contains("--key-file"));
    }
}

TEST(LibraryKeyKept, ChangingThePasswordChangesTheRememberedOneOrSaysWhyNot)
{
    struct Case {
        const char *what;
        std::optional<QString> kept;   // under the library's name before the change
        bool down, refusesChanges;
        std::optional<QString> keptAfter;
        QString said;   // part of the success message, "" for the plain one
    } cases[] = {
        {"nothing remembered", std::nullopt, false, false, std::nullopt, ""},
        {"remembered", QString("Old-Pass-2025"), false, false, QString(kNewKey), ""},
        {"the service does not answer", QString("Old-Pass-2025"), true, false, QString("Old-Pass-2025"),
         "无法访问系统的密码保管服务"},
        {"the service keeps the old one", QString("Old-Pass-2025"), false, true, QString("Old-Pass-2025"),
         "仍是旧密码"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        app.state.session.CurrentUserRole = 0;
        auto secrets = std::make_shared<MemorySecrets>();
        const QString name = LibrarySecretKey(app.dataFile());
        if (c.kept)
            secrets->kept[name] = *c.kept;
        secrets->down = c.down;
        secrets->refusesChanges = c.refusesChanges;
        app.state.secrets = secrets;

        frmDbPassword dialog(app.state);
        dialog.findChild<QLineEdit *>("txtNewKey")->setText(kNewKey);
        dialog.findChild<QLineEdit *>("txtNewKeyCheck")->setText(kNewKey);
        app.messages->answers.enqueue(true);
        dialog.cmdOK_Click();
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(KeyOpensFile(app.dataFile(), kNewKey));

        const auto it = secrets->kept.find(name);
        EXPECT_EQ(it == secrets->kept.end() ? std::nullopt : std::optional<QString>(it->second), c.keptAfter);
        const QString shown = app.messages->lastText();
        EXPECT_TRUE(shown.startsWith("数据库密码已设置。")) << shown.toStdString();
        if (c.said.isEmpty())
            EXPECT_FALSE(shown.contains("密码保管服务")) << shown.toStdString();
        else
            EXPECT_TRUE(shown.contains(c.said)) << shown.toStdString();
    }
}

TEST(LibraryKeyKept, BackOnTheDefaultKeyNothingIsKept)
{
    MemorySecrets secrets;
    const QString file = QStringLiteral("/nowhere/ProSys.mdb");
    secrets.kept[LibrarySecretKey(file)] = "Old-Pass-2025";
    EXPECT_EQ(UpdateKeptLibraryKey(&secrets, file, QString()), QString());
    EXPECT_TRUE(secrets.kept.empty());
    EXPECT_EQ(UpdateKeptLibraryKey(nullptr, file, kNewKey), QString()) << "no secret service given";
}
