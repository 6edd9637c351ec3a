#include "TestApp.h"
#include "TestFiles.h"

#include "admin/frmAbout.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QApplication>
#include <gtest/gtest.h>

namespace {

class RefusingDesktop : public FakeDesktop {
public:
    bool openUrl(const QUrl &url) override
    {
        FakeDesktop::openUrl(url);
        return false;
    }
};

QColor textColor(QLabel *l) { return l->palette().color(QPalette::WindowText); }

void moveOver(QWidget *w, QPoint pos = QPoint(3, 3))
{
    QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

TEST(AboutTest, ShowsTheLabelsAndTheMakersDetails)
{
    TestApp app;
    frmAbout d(app.state.services, nullptr);
    d.show();
    EXPECT_EQ(d.windowTitle(), "关于 Kestrune");
    const char *captions[] = {"开 发 者：", "联系电话：", "我的网址：", " E-mail ："};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d.findChild<QLabel *>(QStringLiteral("Label1(%1)").arg(i))->text(), captions[i]);
    for (int i = 4; i <= 6; ++i)
        EXPECT_FALSE(d.findChild<QLabel *>(QStringLiteral("Label1(%1)").arg(i))->text().trimmed().isEmpty());
    EXPECT_TRUE(d.findChild<QLabel *>("Label2")->text().startsWith("http://"));
    EXPECT_TRUE(d.findChild<QLabel *>("Label3")->text().contains('@'));
    EXPECT_EQ(d.findChild<QPushButton *>("Command1")->text(), "确定");
    // The build's version, as the program was given it at start.
    QCoreApplication::setApplicationVersion("9.8.7");
    frmAbout again(app.state.services, nullptr);
    EXPECT_EQ(again.findChild<QLabel *>("labVersion")->text(), "版本：9.8.7");
    QCoreApplication::setApplicationVersion(QString());
}

TEST(AboutTest, EscapeClosesTheBoxFromAnyControl)
{
    TestApp app;
    for (const char *focus : {"Command1", "Label2", ""}) {
        SCOPED_TRACE(focus);
        frmAbout d(app.state.services, nullptr);
        d.show();
        QWidget *target = *focus ? d.findChild<QWidget *>(focus) : &d;
        if (*focus)
            d.findChild<QPushButton *>("Command1")->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
    }
}

TEST(AboutTest, LinksTurnPurpleUnderThePointerAndBlueOverTheBackground)
{
    TestApp app;
    frmAbout d(app.state.services, nullptr);
    d.show();
    auto *web = d.findChild<QLabel *>("Label2");
    auto *mail = d.findChild<QLabel *>("Label3");
    EXPECT_EQ(textColor(web), QColor(0, 0, 255));
    EXPECT_EQ(textColor(mail), QColor(0, 0, 255));

    moveOver(web);
    EXPECT_EQ(textColor(web), QColor(128, 0, 128));
    EXPECT_EQ(textColor(mail), QColor(0, 0, 255));
    moveOver(mail);
    EXPECT_EQ(textColor(mail), QColor(128, 0, 128));

    moveOver(&d, QPoint(2, d.height() - 2));
    EXPECT_EQ(textColor(web), QColor(0, 0, 255));
    EXPECT_EQ(textColor(mail), QColor(0, 0, 255));
}

TEST(AboutTest, LinksOpenTheWebAddressAndTheMailProgramThroughTheDesktop)
{
    TestApp app;
    frmAbout d(app.state.services, nullptr);
    d.show();
    auto *web = d.findChild<QLabel *>("Label2");
    auto *mail = d.findChild<QLabel *>("Label3");
    QTest::mouseClick(web, Qt::LeftButton);
    QTest::mouseClick(mail, Qt::LeftButton);
    ASSERT_EQ(app.desktop->opened.size(), 2);
    EXPECT_EQ(app.desktop->opened[0], QUrl(web->text()));
    EXPECT_EQ(app.desktop->opened[1], QUrl("mailto:" + mail->text()));
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_TRUE(d.isVisible());
}

TEST(AboutTest, AMailLinkThatCannotBeOpenedAsksForAMailProgram)
{
    TestApp app;
    auto desktop = std::make_shared<RefusingDesktop>();
    app.state.services.desktop = desktop;
    frmAbout d(app.state.services, nullptr);
    d.show();
    QTest::mouseClick(d.findChild<QLabel *>("Label2"), Qt::LeftButton);
    EXPECT_TRUE(app.messages->shown.isEmpty());   // the web link fails silently
    QTest::mouseClick(d.findChild<QLabel *>("Label3"), Qt::LeftButton);
    EXPECT_EQ(app.messages->texts(), QStringList{"请正确安装OutLook！"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_EQ(desktop->opened.size(), 2);
}

TEST(AboutTest, TheLinksAreReachedWithTabAndOpenWithEnterOrSpace)
{
    TestApp app;
    frmAbout d(app.state.services, nullptr);
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    // Opened on 确定; Tab goes round to the web link, then the mail link.
    EXPECT_EQ(QApplication::focusWidget(), d.findChild<QWidget *>("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), d.findChild<QWidget *>("Label2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), d.findChild<QWidget *>("Label3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_EQ(app.desktop->opened.size(), 2);
    EXPECT_EQ(app.desktop->opened[0], QUrl(frmAbout::kMakerWeb));
    EXPECT_EQ(app.desktop->opened[1], QUrl("mailto:" + frmAbout::kMakerMail));
    EXPECT_TRUE(d.isVisible());
}

TEST(AboutTest, OKCloses)
{
    TestApp app;
    frmAbout d(app.state.services, nullptr);
    d.show();
    QTest::mouseClick(d.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
}

// The desktop's real opener, found on a search path the test sets.
class SearchPath {
public:
    explicit SearchPath(const QString &path) : m_old(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(path)); }
    ~SearchPath() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
};

TEST(AboutTest, OnlyAnOpenerThatCannotStartAsksForAMailProgram)
{
    QTemporaryDir bin;
    const QString started = bin.filePath("started");
    // An opener that runs but finds no mail program, as xdg-open does then.
    ASSERT_TRUE(WriteAll(bin.filePath("xdg-open"),
                         QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\necho 'no method available' >&2\nexit 3\n")
                             .arg(started)
                             .toLocal8Bit()));
    ASSERT_TRUE(QFile::setPermissions(bin.filePath("xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
    QTemporaryDir empty;

    struct Case {
        QString path;
        bool asks;
    };
    for (const Case &c : {Case{bin.path(), false}, Case{empty.path(), true}}) {
        SCOPED_TRACE(c.path.toStdString());
        TestApp app;
        app.state.services.desktop = Services::real().desktop;
        frmAbout d(app.state.services, nullptr);
        d.show();
        {
            SearchPath path(c.path);
            QTest::mouseClick(d.findChild<QLabel *>("Label3"), Qt::LeftButton);
        }
        EXPECT_EQ(app.messages->texts(), c.asks ? QStringList{"请正确安装OutLook！"} : QStringList{});
        if (!c.asks) {
            // The opener's one line, whole: the file exists from the moment
            // its shell opens it, before the line is in.
            QDeadlineTimer ran(20000);
            while (!ReadAll(started).endsWith('\n') && !ran.hasExpired())
                QThread::msleep(20);
            EXPECT_EQ(ReadAll(started).trimmed(), "mailto:" + d.findChild<QLabel *>("Label3")->text().toUtf8());
        }
    }
}

}   // namespace
