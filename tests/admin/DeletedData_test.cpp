// Deleted personal data does not stay readable in the data file: not in
// the free pages after an expert is deleted, nor after 初始化数据库, whose
// file is also given back its room.

#include "TestApp.h"
#include "TestFiles.h"

#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/ExpertRecord.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace {

// The file's pages decrypted, as the engine sees them, free pages included:
// 1024-byte pages, each encrypted with AES-256-CBC under the key derived
// from the default password and the file's salt (its first 16 bytes), the
// page's IV in the 48 reserved bytes at its end. The first page's first 16
// bytes are the salt itself.
QByteArray DecryptedPages(const QString &path)
{
    constexpr int kPage = 1024, kReserve = 48, kSalt = 16;
    const QByteArray file = ReadAll(path);
    const QByteArray password(kDatabasePassword);
    QByteArray key(32, '\0');
    PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                      reinterpret_cast<const unsigned char *>(file.constData()), kSalt, 64000, EVP_sha1(), 32,
                      reinterpret_cast<unsigned char *>(key.data()));
    QByteArray plain;
    for (qsizetype at = 0; at + kPage <= file.size(); at += kPage) {
        const int skip = at == 0 ? kSalt : 0;
        const QByteArray in = file.mid(at + skip, kPage - kReserve - skip);
        const QByteArray iv = file.mid(at + kPage - kReserve, 16);
        QByteArray out(in.size() + 32, '\0');
        EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
        int n = 0, m = 0;
        EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, reinterpret_cast<const unsigned char *>(key.constData()),
                           reinterpret_cast<const unsigned char *>(iv.constData()));
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n,
                          reinterpret_cast<const unsigned char *>(in.constData()), int(in.size()));
        EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()) + n, &m);
        EVP_CIPHER_CTX_free(ctx);
        plain += QByteArray(skip, '\0') + out.left(n + m);
    }
    return plain;
}

// The decryption above is right when it reads the engine's own header: the
// page size at offset 16 and the reserved bytes at offset 20 of page one.
bool ReadsTheHeader(const QByteArray &pages)
{
    return pages.size() > 24 && pages.mid(16, 2) == QByteArray("\x04\x00", 2) && quint8(pages[20]) == 48;
}

TEST(DeletedData, ADeletedExpertIsNotLeftInTheFreePages)
{
    TestApp app;
    app.addExperts(200);
    const QString id = app.addExpert("欧阳蔚然");
    // Read back before deleting: the name is really in the pages.
    app.state.store.library().release();
    const QByteArray before = DecryptedPages(app.dataFile());
    ASSERT_TRUE(ReadsTheHeader(before));
    ASSERT_TRUE(before.contains(QByteArray("欧阳蔚然")));

    ASSERT_TRUE(DeleteExpertsWithSelections(app.state.store, {id}).value().deleted);
    app.state.store.library().release();
    const QByteArray after = DecryptedPages(app.dataFile());
    ASSERT_TRUE(ReadsTheHeader(after));
    EXPECT_FALSE(after.contains(QByteArray("欧阳蔚然")));
}

TEST(DeletedData, InitialiseLeavesNoExpertInTheFileAndGivesBackItsRoom)
{
    TestApp app;
    app.addExperts(600);
    const QString id = app.addExpert("欧阳蔚然");
    app.state.store.library().release();
    const qint64 sizeBefore = QFileInfo(app.dataFile()).size();
    ASSERT_TRUE(DecryptedPages(app.dataFile()).contains(QByteArray("欧阳蔚然")));

    const Outcome done = InitialiseDatabase(app.maintenanceTarget());
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
    EXPECT_FALSE(done.message().contains("注意")) << done.message().toStdString();
    app.state.store.library().release();
    const QByteArray pages = DecryptedPages(app.dataFile());
    ASSERT_TRUE(ReadsTheHeader(pages));
    EXPECT_FALSE(pages.contains(QByteArray("欧阳蔚然")));
    EXPECT_LT(QFileInfo(app.dataFile()).size(), sizeBefore / 4);
    Connection conn = Connection::open(app.dataFile());
    Statement freePages = conn.prepare("PRAGMA freelist_count");
    ASSERT_TRUE(freePages.step());
    EXPECT_EQ(freePages.text(0), "0");
    EXPECT_EQ(app.countRows("expert_msg"), 0);
}

}   // namespace
