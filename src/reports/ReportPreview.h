#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPrinter;
class QPushButton;
class QTemporaryDir;

// The "打印预览" window: shows a report's printout page by page, zooms, and
// prints it. It owns the folder of its PDF file, which goes with the window.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(QWidget *parent, const QString &pdfPath, std::unique_ptr<QTemporaryDir> folder = {});
    ~ReportPreview() override;

    // False when the file could not be read as a PDF.
    bool isLoaded() const;
    int pageCount() const;
    int currentPage() const;   // from 0
    qreal zoomFactor() const;
    QPdfDocument *document() const { return m_document; }

    // Prints every page onto the printer, each page scaled to fit.
    bool printTo(QPrinter &printer);

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
    void setZoom(qreal factor);
    void updateControls();

    std::unique_ptr<QTemporaryDir> m_folder;
    QPdfDocument *m_document = nullptr;
    QPdfView *m_view = nullptr;
    QLabel *m_pageLabel = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QPushButton *m_first = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_last = nullptr;
    QPushButton *m_print = nullptr;
    int m_page = 0;
};
