#include "data/PasswordHash.h"
#include "ui/Guarded.h"
#include "ui/Services.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

// A failure that reaches the fatal path where no test expects one fails the
// running test, instead of waiting on a message box or ending the whole run.
class UnexpectedFatal : public MessageService {
public:
    void show(const QString &, const QString &text, Icon, const QString &) override
    {
        ADD_FAILURE() << "fatal failure: " << text.toStdString();
    }
    bool ask(const QString &, const QString &) override { return false; }
    bool retry(const QString &, const QString &text, const QString &) override
    {
        ADD_FAILURE() << "unexpected retry offer: " << text.toStdString();
        return false;
    }
};

}   // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Every test library gets a hashed administrator: at the login cost that
    // would add a quarter second to each. Hashes keep their own cost, so the
    // checks are the same; PasswordHash tests set the login cost themselves.
    PasswordHash::SetCost({1, 8 * 1024});
    FatalPathOverride fatal(std::make_shared<UnexpectedFatal>(), [] {});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
