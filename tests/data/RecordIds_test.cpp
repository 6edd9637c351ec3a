#include "data/Database.h"
#include "data/DbError.h"
#include "data/RecordIds.h"
#include "data/Schema.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

static TextTable tableWithIds(const QStringList &ids)
{
    TextTable t;
    for (const QString &id : ids)
        t.append({id, "x"});
    return t;
}

struct IdCase {
    QStringList ids;
    int k;
    QString expected;
};

class NextRecordIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(NextRecordIdTest, IsLastIdPlusK)
{
    const IdCase c = GetParam();
    EXPECT_EQ(NextRecordId(tableWithIds(c.ids), c.k), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NextRecordIdTest,
                         ::testing::Values(IdCase{{}, 1, "000001"}, IdCase{{"000041"}, 1, "000042"},
                                           IdCase{{"000001", "000009"}, 1, "000010"}, IdCase{{"000009"}, 2, "000011"},
                                           IdCase{{"000009"}, 3, "000012"}, IdCase{{"000001", "000006"}, 1, "000007"},
                                           IdCase{{"999999"}, 1, "1000000"},
                                           // In Id order as text, "999999" comes last.
                                           IdCase{{"1000000", "999999"}, 1, "1000001"}));

TEST(NextRecordIdErrors, NonNumericLastIdIsReportedNotMisnumbered)
{
    EXPECT_THROW(NextRecordId(tableWithIds({"abc"})), DbError);
}

// Writers take the numbers from the file inside their transaction.
class TempFile {
public:
    TempFile() : path(dir.filePath("ProSys.mdb")) { CreateDataFile(path); }
    QTemporaryDir dir;
    QString path;
};

TEST(HighestRecordNumber, IsTheNumericMaximumInTheFile)
{
    struct Case {
        QStringList ids;
        qlonglong highest;
    };
    const Case cases[] = {
        {{}, 0},
        {{"000041"}, 41},
        {{"000001", "000009", "000003"}, 9},
        {{"999999", "1000000"}, 1000000},
        {{"1000000", "999999", "000010"}, 1000000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ids.join(' ').toStdString());
        TempFile file;
        Connection conn = Connection::open(file.path);
        for (const QString &id : c.ids) {
            Statement add = conn.prepare("INSERT INTO sel_expert VALUES (?, '2026-01-01', '000001')");
            add.bind(1, id);
            add.step();
        }
        EXPECT_EQ(HighestRecordNumber(conn, Schema::SelExpert()), c.highest);
    }
    EXPECT_EQ(RecordIdText(41 + 1), "000042");
    EXPECT_EQ(RecordIdText(999999 + 1), "1000000");
}

TEST(HighestRecordNumber, ANonNumericIdIsReportedNotMisnumbered)
{
    TempFile file;
    Connection conn = Connection::open(file.path);
    conn.exec("INSERT INTO expert_msg (Id, Name) VALUES ('000004', 'a'), ('A17', 'b')");
    EXPECT_THROW(HighestRecordNumber(conn, Schema::ExpertMsg()), DbError);
}
