#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPrinter;
class QPushButton;
class QTemporaryDir;
class ReportRun;

// The "打印预览" window: shows a report's printout page by page, zooms, and
// prints it. It owns the folder of its PDF file, which goes with the window.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(QWidget *parent, const QString &pdfPath, std::unique_ptr<QTemporaryDir> folder = {});
    ~ReportPreview() override;

    // The first pages of a long printout are on show while run writes the
    // whole printout to wholePdfPath (in the window's folder); it takes their
    // place when done, on the page shown. Printing waits for it. Closing the
    // window ends the run. completed tells how the run ended.
    void awaitWholePrintout(std::unique_ptr<ReportRun> run, const QString &wholePdfPath);
    // True once the window shows the whole printout.
    bool isComplete() const { return !m_run; }
    // Why the whole printout did not come, in the engine's words.
    QString failureText() const { return m_failure; }

    // False when the file could not be read as a PDF.
    bool isLoaded() const;
    int pageCount() const;
    int currentPage() const;   // from 0
    qreal zoomFactor() const;
    QPdfDocument *document() const { return m_document; }

    // Prints every page onto the printer, each page scaled to fit.
    bool printTo(QPrinter &printer);

signals:
    // The run given to awaitWholePrintout ended: true when the whole
    // printout is on show, false when it failed or was cancelled.
    void completed(bool whole);

public slots:
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void zoomIn();
    void zoomOut();
    void fitWidth();
    // Asks for the printer and prints.
    void print();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPage(int page);
    void takeWholePrintout();
    void setZoom(qreal factor);
    void updateControls();

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ReportRun> m_run;   // writing the whole printout
    QString m_wholePath;
    QString m_failure;
    QPdfDocument *m_document = nullptr;
    QPdfView *m_view = nullptr;
    QLabel *m_pageLabel = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QLabel *m_pendingLabel = nullptr;
    QPushButton *m_first = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_last = nullptr;
    QPushButton *m_print = nullptr;
    int m_page = 0;
};
