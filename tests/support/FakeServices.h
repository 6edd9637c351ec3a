#pragma once

#include "ui/Services.h"

#include <QDate>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
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

    void show(const QString &title, const QString &text, Icon icon, const QString &detail) override
    {
        shown.append({title, text, icon, detail});
    }
    bool ask(const QString &title, const QString &text) override
    {
        shown.append({title, text, Icon::Question, QString()});
        return answers.isEmpty() ? defaultAnswer : answers.dequeue();
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

// Plays back scripted numbers, then falls back to a seeded generator.
class ScriptedRandom : public RandomSource {
public:
    QQueue<double> script;
    std::mt19937_64 engine{12345};
    double next() override
    {
        if (!script.isEmpty())
            return script.dequeue();
        return double(engine() >> 11) * 0x1.0p-53;
    }
};

class FakeFileDialogs : public FileDialogs {
public:
    QString nextSavePath;   // "" = cancel
    QString nextOpenPath;   // "" = cancel
    QStringList saveCalls;  // initial paths offered
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
