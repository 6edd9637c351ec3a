#pragma once

#include "ui/Services.h"

#include <QDate>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <random>

// Records every message box; questions are answered from a queue (Yes when
// the queue is empty, unless defaultAnswer says otherwise).
class FakeMessages : public MessageService {
public:
    struct Shown {
        QString title;
        QString text;
        Icon icon;
        QString detail;   // the box's folded-away details, "" for none
    };
    QList<Shown> shown;
    QQueue<bool> answers;
    bool defaultAnswer = true;
    // Answers to 重试/取消 boxes: 重试 for true; 取消 when the queue is empty,
    // so that a failure that never mends cannot loop.
    QQueue<bool> retryAnswers;

    void show(const QString &title, const QString &text, Icon icon, const QString &detail) override
    {
        shown.append({title, text, icon, detail});
    }
    bool ask(const QString &title, const QString &text) override
    {
        shown.append({title, text, Icon::Question, QString()});
        return answers.isEmpty() ? defaultAnswer : answers.dequeue();
    }
    bool retry(const QString &title, const QString &text, const QString &detail) override
    {
        shown.append({title, text, Icon::Critical, detail});
        return !retryAnswers.isEmpty() && retryAnswers.dequeue();
    }
    QStringList texts() const
    {
        QStringList t;
        for (const auto &s : shown)
            t << s.text;
        return t;
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() { shown.clear(); }
};

class FixedClock : public Clock {
public:
    QDate date{2026, 12, 9};
    QDate today() const override { return date; }
};

// Plays back scripted numbers and seeds, then falls back to a seeded
// generator.
class ScriptedRandom : public RandomSource {
public:
    QQueue<double> script;
    QQueue<quint64> seeds;
    std::mt19937_64 engine{12345};
    double next() override
    {
        if (!script.isEmpty())
            return script.dequeue();
        return double(engine() >> 11) * 0x1.0p-53;
    }
    quint64 nextSeed() override { return seeds.isEmpty() ? engine() : seeds.dequeue(); }
    // Scripted byte strings first; then bytes of the seeded generator, so a
    // test run is repeatable.
    QQueue<QByteArray> bytes;
    QByteArray nextBytes(int count) override
    {
        if (!bytes.isEmpty())
            return bytes.dequeue();
        QByteArray out;
        while (out.size() < count)
            out.append(char(engine() & 0xff));
        return out;
    }
};

class FakeFileDialogs : public FileDialogs {
public:
    QString nextSavePath;    // "" = cancel
    QString nextOpenPath;    // "" = cancel
    QStringList saveCalls;   // initial paths offered
    QStringList saveFilters;
    QStringList openCalls;
    QString getSaveFileName(QWidget *, const QString &, const QString &initialPath, const QString &filter) override
    {
        saveCalls << initialPath;
        saveFilters << filter;
        return nextSavePath;
    }
    QString getOpenFileName(QWidget *, const QString &, const QString &dir, const QString &) override
    {
        openCalls << dir;
        return nextOpenPath;
    }
};

class FakeDesktop : public DesktopServices {
public:
    QString desktop;
    QList<QUrl> opened;
    bool canOpen = true;   // false: no program is registered for the file
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return canOpen;
    }
    QString desktopPath() const override { return desktop; }
};

// Runs the program's dialogs without showing them: each is answered by the
// next scripted handler, or else has its required boxes filled and is
// confirmed with its OK button.
class FakeDialogs : public DialogRunner {
public:
    using Handler = std::function<bool(QDialog &)>;
    QQueue<Handler> script;
    QStringList shown;   // object names of the dialogs run, in order

    bool run(QDialog &dialog) override
    {
        shown << dialog.objectName();
        return script.isEmpty() ? FillAndAccept(dialog) : script.dequeue()(dialog);
    }

    // Required boxes (property "required") that are empty get a text, then
    // cmdOK is pressed; true when that accepted the dialog.
    static bool FillAndAccept(QDialog &dialog)
    {
        for (QLineEdit *box : dialog.findChildren<QLineEdit *>())
            if (box->property("required").toBool() && box->text().trimmed().isEmpty())
                box->setText(QStringLiteral("测试项目"));
        return Press(dialog, "cmdOK");
    }
    static bool Press(QDialog &dialog, const char *button)
    {
        dialog.setResult(QDialog::Rejected);
        if (QPushButton *b = dialog.findChild<QPushButton *>(QString::fromLatin1(button)))
            b->click();
        return dialog.result() == QDialog::Accepted;
    }
    static bool Cancel(QDialog &) { return false; }
};
