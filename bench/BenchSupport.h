#pragma once

// What the benchmarks at library scale share: one demo library written once
// per run, a program state over a copy of it with stand-ins for the dialogs,
// and a screen area that opens screens the program's way.

#include "shell/AppState.h"
#include "shell/ScreenHost.h"

#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>

// The demo library of the measurements: 40,000 experts and 40,000
// draw records, seed 7 (kestrune-demo-db --experts 40000 --selections 40000
// --seed 7). Written on first use.
const QString &DemoLibraryFile();

// Resident memory of this process in bytes (VmRSS).
double ResidentBytes();

class BenchMessages : public MessageService {
public:
    QString last;
    int shown = 0;
    bool answer = true;
    void show(const QString &, const QString &text, Icon, const QString &detail) override
    {
        last = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
        ++shown;
    }
    bool ask(const QString &, const QString &) override { return answer; }
    bool retry(const QString &, const QString &text, const QString &) override
    {
        last = text;
        ++shown;
        return false;
    }
};

class BenchDialogs : public FileDialogs {
public:
    QString path;
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
};

class BenchDesktop : public DesktopServices {
public:
    QString folder;
    bool openUrl(const QUrl &) override { return true; }
    QString desktopPath() const override { return folder; }
};

// Screens of the program on a plain widget of the main window's size.
class BenchHost : public ScreenHost {
public:
    explicit BenchHost(AppState &state);
    void setBannerWidth(int) override {}
    void exitApplication() override {}
    void openChangePassword() override {}
    template <typename T> T *find(const QString &form, const QString &control) const
    {
        ChildScreen *s = screen(form);
        return s ? s->findChild<T *>(control) : nullptr;
    }

    QWidget area;

protected:
    QWidget *screenParent() override { return &area; }
    PlacementMetrics metrics() const override;
};

// An administrator logged in on an application folder of its own, with the
// templates of the source tree, a copy of the demo library (or an empty
// library) and every table loaded, as after login.
struct BenchApp {
    enum class Library { Demo, Empty };
    explicit BenchApp(Library library = Library::Demo);

    QTemporaryDir dir;
    AppState state;
    std::shared_ptr<BenchMessages> messages = std::make_shared<BenchMessages>();
    std::shared_ptr<BenchDialogs> dialogs = std::make_shared<BenchDialogs>();
    std::shared_ptr<BenchDesktop> desktop = std::make_shared<BenchDesktop>();
    std::unique_ptr<BenchHost> host;
};

// A spreadsheet engine that times every call of the engine it wraps, by
// operation, so that a report's time can be told apart (office start and
// template load in "open", the rows in "insertRowCopies", the cells in
// "setTexts", the file in "saveAsXls"/"exportPdf", the office's end in
// "end").
class SpreadsheetEngine;
struct EngineTimes {
    QMap<QString, double> milliseconds;
    void add(const QString &operation, double ms) { milliseconds[operation] += ms; }
};
std::function<std::unique_ptr<SpreadsheetEngine>()> TimedEngines(std::shared_ptr<EngineTimes> times);
