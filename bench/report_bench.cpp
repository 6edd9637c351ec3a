// Reports through the real LibreOffice Calc, from the button's click to the
// saved workbook or the shown preview, office start and end included.
// Targets: a 1,000-row search export under 15 s, a 25-row preview under 8 s.

#include "reports/ReportPreview.h"
#include "reports/Reports.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

class SilentMessages : public MessageService {
public:
    QString last;
    void show(const QString &, const QString &text, Icon, const QString &) override { last = text; }
    bool ask(const QString &, const QString &) override { return true; }
    bool retry(const QString &, const QString &text, const QString &) override
    {
        last = text;
        return false;
    }
};

class FixedSaveDialog : public FileDialogs {
public:
    QString path;
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
};

class NoDesktop : public DesktopServices {
public:
    QString folder;
    bool openUrl(const QUrl &) override { return true; }
    QString desktopPath() const override { return folder; }
};

// An application folder holding the templates of the source tree.
struct ReportSetup {
    QTemporaryDir appDir;
    AppState state;
    std::shared_ptr<SilentMessages> messages = std::make_shared<SilentMessages>();
    std::shared_ptr<FixedSaveDialog> files = std::make_shared<FixedSaveDialog>();
    std::shared_ptr<NoDesktop> desktop = std::make_shared<NoDesktop>();
    QWidget screen;

    ReportSetup()
    {
        state.store.appDir = appDir.path();
        state.services.messages = messages;
        state.services.files = files;
        state.services.desktop = desktop;
        state.services.makeSpreadsheet = MakeLibreOfficeEngine;
        desktop->folder = appDir.path();
        // The build puts the templates beside its programs.
        const QDir templates(QCoreApplication::applicationDirPath());
        for (const QString &name : templates.entryList({QStringLiteral("*.xls")}))
            QFile::copy(templates.filePath(name), appDir.filePath(name));
    }
};

TextTable SearchRows(int n)
{
    TextTable list;
    for (int k = 1; k <= n; ++k)
        list.append({QStringLiteral("%1").arg(k, 6, 10, QLatin1Char('0')), QStringLiteral("专家%1").arg(k),
                     QStringLiteral("1965-03-12"), QStringLiteral("某某市建筑设计研究院有限公司"),
                     QStringLiteral("土木工程"), QStringLiteral("一级注册结构工程师"), QStringLiteral("13912345678")});
    return list;
}

void BM_SearchExport1000Rows(benchmark::State &st)
{
    ReportSetup setup;
    const TextTable list = SearchRows(1000);
    const auto header = SearchHeaderCells(QStringList(13), QStringList(6));
    setup.files->path = setup.appDir.filePath(QStringLiteral("export.xls"));
    for (auto _ : st) {
        const QString saved = ExportReport({setup.state.services, setup.state.store.appDir}, &setup.screen,
                                           ReportKind::Search, list, header, {});
        if (saved.isEmpty()) {
            st.SkipWithError(setup.messages->last.toStdString().c_str());
            break;
        }
    }
}
BENCHMARK(BM_SearchExport1000Rows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SelectionPreview25Rows(benchmark::State &st)
{
    ReportSetup setup;
    TextTable list;
    for (int k = 1; k <= 25; ++k)
        list.append({QString::number(k), QStringLiteral("专家%1").arg(k), QStringLiteral("男"),
                     QStringLiteral("1965-03-12"), QStringLiteral("设计院"), QStringLiteral("土木工程"),
                     QStringLiteral("注册结构工程师"), QStringLiteral("13912345678")});
    for (auto _ : st) {
        ReportPreview *preview = PreviewReport({setup.state.services, setup.state.store.appDir}, &setup.screen,
                                               ReportKind::Selection, list, {}, {});
        if (!preview) {
            st.SkipWithError(setup.messages->last.toStdString().c_str());
            break;
        }
        QCoreApplication::processEvents();   // the window is painted
        delete preview;
    }
}
BENCHMARK(BM_SelectionPreview25Rows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}   // namespace
