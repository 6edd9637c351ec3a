#include "ui/Services.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <random>

namespace {

// A question with Yes and No has no cancel: Escape and the close box do
// nothing, so that a key pressed out of habit never answers for the user
// (at exit, No would drop the unsaved draw).
class YesNoBox : public QMessageBox {
public:
    YesNoBox(const QString &title, const QString &text, QWidget *parent)
        : QMessageBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent)
    {
        setDefaultButton(QMessageBox::Yes);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

}   // namespace

bool BoxRetry(const QString &title, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton *again = box.addButton(QStringLiteral("重试"), QMessageBox::AcceptRole);
    QPushButton *leave = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(again);
    box.setEscapeButton(leave);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
    return box.clickedButton() == again;
}

namespace {

class BoxMessages : public MessageService {
public:
    void show(const QString &title, const QString &text, Icon icon, const QString &detail) override
    {
        QMessageBox box(icon == Icon::Critical   ? QMessageBox::Critical
                        : icon == Icon::Question ? QMessageBox::Question
                                                 : QMessageBox::Information,
                        title, text, QMessageBox::Ok, QApplication::activeWindow());
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }
    bool ask(const QString &title, const QString &text) override
    {
        YesNoBox box(title, text, QApplication::activeWindow());
        return box.exec() == QMessageBox::Yes;
    }
    bool retry(const QString &title, const QString &text, const QString &detail) override
    {
        return BoxRetry(title, text, detail);
    }
};

class SystemClock : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
};

// Seeded once at start and never again.
class MersenneRandom : public RandomSource {
public:
    MersenneRandom() : m_engine(std::random_device{}()) {}
    // 53 random bits scaled to [0, 1): every value below 1, never 1 itself.
    double next() override { return double(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine;
};

class QtFileDialogs : public FileDialogs {
public:
    QString getSaveFileName(QWidget *parent, const QString &caption, const QString &initialPath,
                            const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, initialPath, filter);
    }
    QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }
};

class QtDesktop : public DesktopServices {
public:
    bool openUrl(const QUrl &url) override
    {
        // The desktop's opener, started and left to run: whether it then
        // finds a program for the link is its own business. False only when
        // it cannot be started at all.
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty())
            return QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
        return QDesktopServices::openUrl(url);
    }
    QString desktopPath() const override
    {
        // Many Linux accounts have no desktop folder: offer the home folder then.
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        return QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
    }
};

class ModalDialogs : public DialogRunner {
public:
    bool run(QDialog &dialog) override { return dialog.exec() == QDialog::Accepted; }
};

}   // namespace

Services Services::real()
{
    Services s;
    s.messages = std::make_shared<BoxMessages>();
    s.clock = std::make_shared<SystemClock>();
    s.random = std::make_shared<MersenneRandom>();
    s.files = std::make_shared<QtFileDialogs>();
    s.desktop = std::make_shared<QtDesktop>();
    s.dialogs = std::make_shared<ModalDialogs>();
    return s;
}
