#include "reports/ReportPreview.h"
#include "ui/Guarded.h"

#include "reports/ReportRun.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qreal kZoomStep = 1.25;
constexpr qreal kMinZoom = 0.25;
constexpr qreal kMaxZoom = 4.0;

QPushButton *addButton(QHBoxLayout *bar, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);
    bar->addWidget(button);
    return button;
}

}   // namespace

ReportPreview::ReportPreview(QWidget *parent, const QString &pdfPath, std::unique_ptr<QTemporaryDir> folder)
    : QDialog(parent), m_folder(std::move(folder))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("打印预览"));
    resize(1000, 760);

    m_document = new QPdfDocument(this);
    m_document->load(pdfPath);

    auto *bar = new QHBoxLayout;
    m_print = addButton(bar, QStringLiteral("cmdPrint"), QStringLiteral("打印..."));
    bar->addSpacing(16);
    m_first = addButton(bar, QStringLiteral("cmdFirstPage"), QStringLiteral("首页"));
    m_previous = addButton(bar, QStringLiteral("cmdPreviousPage"), QStringLiteral("上一页"));
    m_pageLabel = new QLabel;
    m_pageLabel->setObjectName(QStringLiteral("labPageNumber"));
    bar->addWidget(m_pageLabel);
    m_next = addButton(bar, QStringLiteral("cmdNextPage"), QStringLiteral("下一页"));
    m_last = addButton(bar, QStringLiteral("cmdLastPage"), QStringLiteral("尾页"));
    bar->addSpacing(16);
    auto *zoomOutButton = addButton(bar, QStringLiteral("cmdZoomOut"), QStringLiteral("缩小"));
    m_zoomLabel = new QLabel;
    m_zoomLabel->setObjectName(QStringLiteral("labZoom"));
    bar->addWidget(m_zoomLabel);
    auto *zoomInButton = addButton(bar, QStringLiteral("cmdZoomIn"), QStringLiteral("放大"));
    auto *fitButton = addButton(bar, QStringLiteral("cmdFitWidth"), QStringLiteral("适合宽度"));
    bar->addSpacing(16);
    m_pendingLabel = new QLabel(QStringLiteral("其余各页正在生成……"));
    m_pendingLabel->setObjectName(QStringLiteral("labPending"));
    m_pendingLabel->hide();
    bar->addWidget(m_pendingLabel);
    bar->addStretch();
    auto *closeButton = addButton(bar, QStringLiteral("cmdClose"), QStringLiteral("关闭"));

    m_view = new QPdfView(this);
    m_view->setObjectName(QStringLiteral("pdfView"));
    m_view->setPageMode(QPdfView::PageMode::SinglePage);
    m_view->setDocument(m_document);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);

    connect(m_print, &QPushButton::clicked, this, Guarded(this, &ReportPreview::print));
    connect(m_first, &QPushButton::clicked, this, Guarded(this, &ReportPreview::firstPage));
    connect(m_previous, &QPushButton::clicked, this, Guarded(this, &ReportPreview::previousPage));
    connect(m_next, &QPushButton::clicked, this, Guarded(this, &ReportPreview::nextPage));
    connect(m_last, &QPushButton::clicked, this, Guarded(this, &ReportPreview::lastPage));
    connect(zoomInButton, &QPushButton::clicked, this, Guarded(this, &ReportPreview::zoomIn));
    connect(zoomOutButton, &QPushButton::clicked, this, Guarded(this, &ReportPreview::zoomOut));
    connect(fitButton, &QPushButton::clicked, this, Guarded(this, &ReportPreview::fitWidth));
    connect(closeButton, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
    connect(m_view, &QPdfView::zoomFactorChanged, this, Guarded(this, &ReportPreview::updateControls));
    m_view->viewport()->installEventFilter(this);

    showPage(0);
}

// A run still writing ends first; the view lets go of the document before
// the folder with its files goes.
ReportPreview::~ReportPreview()
{
    m_run.reset();
    m_view->setDocument(nullptr);
    m_document->close();
}

void ReportPreview::awaitWholePrintout(std::unique_ptr<ReportRun> run, const QString &wholePdfPath)
{
    m_run = std::move(run);
    m_wholePath = wholePdfPath;
    m_pendingLabel->show();
    connect(m_run.get(), &ReportRun::finished, this, Guarded(this, &ReportPreview::takeWholePrintout));
    if (m_run->isFinished())
        takeWholePrintout();
    updateControls();
}

void ReportPreview::takeWholePrintout()
{
    if (!m_run)
        return;
    const std::unique_ptr<ReportRun> run = std::move(m_run);
    m_pendingLabel->hide();
    bool whole = false;
    if (run->succeeded()) {
        auto *document = new QPdfDocument(this);
        document->load(m_wholePath);
        whole = document->status() == QPdfDocument::Status::Ready && document->pageCount() > 0;
        if (whole) {
            m_view->setDocument(document);
            m_document->close();
            delete m_document;
            m_document = document;
        } else {
            delete document;
            m_failure = QStringLiteral("无法读取打印预览文件“%1”。").arg(QDir::toNativeSeparators(m_wholePath));
        }
    } else {
        m_failure = run->errorText();
    }
    showPage(m_page);
    emit completed(whole);
}

bool ReportPreview::isLoaded() const
{
    return m_document->status() == QPdfDocument::Status::Ready && m_document->pageCount() > 0;
}

int ReportPreview::pageCount() const { return m_document->pageCount(); }

int ReportPreview::currentPage() const { return m_page; }

// Fitting the width leaves the view's own factor alone; the scale on show is
// the width of the view over the width of the page.
qreal ReportPreview::zoomFactor() const
{
    if (m_view->zoomMode() != QPdfView::ZoomMode::FitToWidth || pageCount() == 0)
        return m_view->zoomFactor();
    const QMargins margins = m_view->documentMargins();
    const qreal pageWidth = m_document->pagePointSize(m_page).width() * m_view->logicalDpiX() / 72.0;
    const int available = m_view->viewport()->width() - margins.left() - margins.right();
    return pageWidth > 0 && available > 0 ? available / pageWidth : m_view->zoomFactor();
}

void ReportPreview::firstPage() { showPage(0); }
void ReportPreview::previousPage() { showPage(m_page - 1); }
void ReportPreview::nextPage() { showPage(m_page + 1); }
void ReportPreview::lastPage() { showPage(pageCount() - 1); }

void ReportPreview::zoomIn() { setZoom(zoomFactor() * kZoomStep); }
void ReportPreview::zoomOut() { setZoom(zoomFactor() / kZoomStep); }

void ReportPreview::fitWidth()
{
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    updateControls();
}

void ReportPreview::setZoom(qreal factor)
{
    m_view->setZoomMode(QPdfView::ZoomMode::Custom);
    m_view->setZoomFactor(std::clamp(factor, kMinZoom, kMaxZoom));
    updateControls();
}

void ReportPreview::showPage(int page)
{
    m_page = std::clamp(page, 0, std::max(0, pageCount() - 1));
    if (pageCount() > 0)
        m_view->pageNavigator()->jump(m_page, QPointF(), m_view->zoomFactor());
    updateControls();
}

void ReportPreview::updateControls()
{
    const int pages = pageCount();
    m_pageLabel->setText(QStringLiteral("第 %1 / %2 页").arg(pages ? m_page + 1 : 0).arg(pages));
    m_zoomLabel->setText(QStringLiteral("%1%").arg(qRound(zoomFactor() * 100)));
    m_first->setEnabled(m_page > 0);
    m_previous->setEnabled(m_page > 0);
    m_next->setEnabled(m_page + 1 < pages);
    m_last->setEnabled(m_page + 1 < pages);
    m_print->setEnabled(pages > 0 && isComplete());
}

// The scale shown follows the view's size while the page fits its width.
bool ReportPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        updateControls();
    return QDialog::eventFilter(watched, event);
}

void ReportPreview::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    printer.setFromTo(1, pageCount());
    if (!m_document->pagePointSize(0).isEmpty()) {
        const QSizeF size = m_document->pagePointSize(0);
        printer.setPageOrientation(size.width() > size.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    }
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    printTo(printer);
}

bool ReportPreview::printTo(QPrinter &printer)
{
    const int pages = pageCount();
    if (pages == 0)
        return false;
    int from = 1, to = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(pages, printer.toPage() > 0 ? printer.toPage() : pages);
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int page = from - 1; page < to; ++page) {
        if (page > from - 1)
            printer.newPage();
        const QRect target = painter.viewport();
        const QSizeF points = m_document->pagePointSize(page);
        QSize pixels = (points * printer.resolution() / 72.0).toSize();
        pixels.scale(target.size(), Qt::KeepAspectRatio);
        const QImage image = m_document->render(page, pixels);
        painter.drawImage(QPoint(target.x() + (target.width() - pixels.width()) / 2, target.y()), image);
    }
    return painter.end();
}
