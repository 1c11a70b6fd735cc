#pragma once

#include "forms_global.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;
class ReportDocument;
class ReportQuery;

// The pages of a report one under the other; paints only the pages in sight.
class FORMS_EXPORT ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum FitMode { FitNone, FitWidth, FitPage };

    explicit ReportPageView(ReportDocument *document, QWidget *parent = nullptr);

    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);
    FitMode fitMode() const { return m_fit; }
    void setFitMode(FitMode mode);
    int currentPage() const; // 0-based, the page at the top of the view
    void goToPage(int page);
    // The document has new pages or lines.
    void documentChanged();
    // Pages painted by the last paint event (the view paints only what is in sight).
    int lastPaintedPages() const { return m_lastPainted; }

signals:
    void currentPageChanged(int page);
    void zoomChanged(qreal zoom);
    // A paint event drew this many pages (benchmarks time the first page by it).
    void painted(int pages);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    qreal pixelsPerPoint() const;
    QSizeF pagePixels() const;
    qreal pageTop(int page) const;
    void updateScrollBars();
    void applyFit();

    ReportDocument *m_document;
    qreal m_zoom = 1.0;
    FitMode m_fit = FitWidth;
    int m_lastPainted = 0;
    int m_lastReportedPage = -1;
};

// The preview window of a run: the page view, page navigation, zoom and printing. When given
// an open query, it keeps reading rows in small slices between events, so the first page shows
// at once and the window stays responsive; closing it stops the reading.
class FORMS_EXPORT ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    ReportPreviewDialog(std::shared_ptr<ReportDocument> document,
                        std::unique_ptr<ReportQuery> query, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    ReportPageView *pageView() const { return m_view; }
    ReportDocument *document() const { return m_document.get(); }
    bool isReading() const;
    // Stops reading; the report keeps the rows read and says it is incomplete.
    void stopReading();
    // Reads the remaining rows now, with a progress dialog; false when cancelled or failed.
    bool readAll();
    // Asks for a printer and prints the whole report.
    void print();

signals:
    void readingFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void readSlice();
    void updateStatus();
    void updatePageControls();
    void zoomTextChosen(int index);

    std::shared_ptr<ReportDocument> m_document;
    std::unique_ptr<ReportQuery> m_query;
    QTimer m_readTimer;
    ReportPageView *m_view = nullptr;
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QSpinBox *m_page = nullptr;
    QLabel *m_pageCount = nullptr;
    QComboBox *m_zoom = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_stop = nullptr;
    QString m_failure;
};
