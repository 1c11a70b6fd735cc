#include "reportpreview.h"

#include "errors.h"
#include "ptbr.h"
#include "reportoutput.h"
#include "reportprogress.h"
#include "reportquery.h"
#include "reportrender.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
const int kGap = 16;
const qreal kMinZoom = 0.25;
const qreal kMaxZoom = 4.0;

QString number(qint64 n)
{
    return brazilianLocale().toString(qlonglong(n));
}
} // namespace

ReportPageView::ReportPageView(ReportDocument *document, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_document(document)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

qreal ReportPageView::pixelsPerPoint() const
{
    return m_zoom * logicalDpiX() / 72.0;
}

QSizeF ReportPageView::pagePixels() const
{
    return m_document->pageSize() * pixelsPerPoint();
}

qreal ReportPageView::pageTop(int page) const
{
    return kGap + page * (pagePixels().height() + kGap);
}

void ReportPageView::setZoom(qreal zoom)
{
    zoom = qBound(kMinZoom, zoom, kMaxZoom);
    const int page = currentPage();
    m_zoom = zoom;
    updateScrollBars();
    goToPage(page);
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void ReportPageView::setFitMode(FitMode mode)
{
    m_fit = mode;
    applyFit();
}

void ReportPageView::applyFit()
{
    if (m_fit == FitNone)
        return;
    const QSizeF page = m_document->pageSize() * (logicalDpiX() / 72.0);
    const qreal byWidth = (viewport()->width() - 2.0 * kGap) / page.width();
    const qreal byHeight = (viewport()->height() - 2.0 * kGap) / page.height();
    const qreal zoom = m_fit == FitWidth ? byWidth : qMin(byWidth, byHeight);
    if (zoom > 0 && !qFuzzyCompare(zoom, m_zoom)) {
        const int page = currentPage();
        m_zoom = qBound(kMinZoom, zoom, kMaxZoom);
        updateScrollBars();
        goToPage(page);
        emit zoomChanged(m_zoom);
    }
    viewport()->update();
}

int ReportPageView::currentPage() const
{
    const qreal step = pagePixels().height() + kGap;
    const int page = int((verticalScrollBar()->value() + step / 3) / step);
    return qBound(0, page, qMax(0, m_document->pageCount() - 1));
}

void ReportPageView::goToPage(int page)
{
    page = qBound(0, page, qMax(0, m_document->pageCount() - 1));
    verticalScrollBar()->setValue(int(pageTop(page) - kGap));
}

void ReportPageView::documentChanged()
{
    updateScrollBars();
    viewport()->update();
}

void ReportPageView::updateScrollBars()
{
    const QSizeF page = pagePixels();
    const int pages = qMax(1, m_document->pageCount());
    const qreal height = kGap + pages * (page.height() + kGap);
    const qreal width = page.width() + 2 * kGap;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, qMax(0, int(height) - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, int(width) - viewport()->width()));
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    applyFit();
}

void ReportPageView::scrollContentsBy(int, int)
{
    viewport()->update();
    const int page = currentPage();
    if (page != m_lastReportedPage) {
        m_lastReportedPage = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Dark));
    const QSizeF page = pagePixels();
    const qreal contentWidth = page.width() + 2 * kGap;
    const qreal x = contentWidth < viewport()->width() ? (viewport()->width() - page.width()) / 2
                                                       : kGap - horizontalScrollBar()->value();
    const qreal top = verticalScrollBar()->value();
    const qreal bottom = top + viewport()->height();
    const qreal step = page.height() + kGap;
    const int first = qMax(0, int((top - kGap) / step));
    m_lastPainted = 0;
    for (int i = first; i < m_document->pageCount(); ++i) {
        const qreal y = pageTop(i) - top;
        if (y + top > bottom)
            break;
        const QRectF rect(x, y, page.width(), page.height());
        painter.fillRect(rect.translated(3, 3), QColor(0, 0, 0, 60));
        painter.fillRect(rect, Qt::white);
        painter.save();
        painter.setClipRect(rect);
        painter.translate(rect.topLeft());
        painter.scale(pixelsPerPoint(), pixelsPerPoint());
        m_document->paintPage(&painter, i);
        painter.restore();
        ++m_lastPainted;
    }
    emit painted(m_lastPainted);
}

void ReportPageView::keyPressEvent(QKeyEvent *event)
{
    const int page = currentPage();
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(page + 1);
        return;
    case Qt::Key_PageUp:
        goToPage(page - 1);
        return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            goToPage(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            goToPage(m_document->pageCount() - 1);
            return;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (event->modifiers() & Qt::ControlModifier) {
            m_fit = FitNone;
            setZoom(m_zoom * 1.25);
            return;
        }
        break;
    case Qt::Key_Minus:
        if (event->modifiers() & Qt::ControlModifier) {
            m_fit = FitNone;
            setZoom(m_zoom / 1.25);
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ReportPageView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        m_fit = FitNone;
        setZoom(event->angleDelta().y() > 0 ? m_zoom * 1.15 : m_zoom / 1.15);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---------------------------------------------------------------------------------------------

ReportPreviewDialog::ReportPreviewDialog(std::shared_ptr<ReportDocument> document,
                                         std::unique_ptr<ReportQuery> query, QWidget *parent)
    : QDialog(parent)
    , m_document(std::move(document))
    , m_query(std::move(query))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Visualização - %1").arg(m_document->definition().title));
    setModal(false);

    auto button = [this](const QString &text, const QString &tip, QStyle::StandardPixmap icon) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        return b;
    };
    m_first = button(QStringLiteral("Primeira"), QStringLiteral("Primeira página (Ctrl+Home)"),
                     QStyle::SP_MediaSkipBackward);
    m_previous = button(QStringLiteral("Anterior"), QStringLiteral("Página anterior (PgUp)"),
                        QStyle::SP_MediaSeekBackward);
    m_next = button(QStringLiteral("Próxima"), QStringLiteral("Próxima página (PgDn)"),
                    QStyle::SP_MediaSeekForward);
    m_last = button(QStringLiteral("Última"), QStringLiteral("Última página (Ctrl+End)"),
                    QStyle::SP_MediaSkipForward);
    m_page = new QSpinBox(this);
    m_page->setRange(1, 1);
    m_page->setAccelerated(true);
    m_page->setToolTip(QStringLiteral("Página"));
    m_pageCount = new QLabel(this);
    m_zoom = new QComboBox(this);
    m_zoom->addItem(QStringLiteral("Largura da página"));
    m_zoom->addItem(QStringLiteral("Página inteira"));
    for (int percent : {50, 75, 100, 125, 150, 200, 300})
        m_zoom->addItem(QStringLiteral("%1%").arg(percent), percent);
    m_zoom->setToolTip(QStringLiteral("Zoom (Ctrl+roda do mouse, Ctrl++ e Ctrl+-)"));
    auto *print = new QPushButton(QStringLiteral("&Imprimir..."), this);
    print->setIcon(QIcon(QStringLiteral(":/forms/images/print.png")));
    print->setToolTip(QStringLiteral("Imprimir (Ctrl+P)"));
    auto *close = new QPushButton(QStringLiteral("&Fechar"), this);
    m_status = new QLabel(this);
    m_stop = new QPushButton(QStringLiteral("&Parar leitura"), this);

    m_view = new ReportPageView(m_document.get(), this);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 4);
    bar->addWidget(m_first);
    bar->addWidget(m_previous);
    bar->addWidget(new QLabel(QStringLiteral("Página"), this));
    bar->addWidget(m_page);
    bar->addWidget(m_pageCount);
    bar->addWidget(m_next);
    bar->addWidget(m_last);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("Zoom"), this));
    bar->addWidget(m_zoom);
    bar->addStretch(1);
    bar->addWidget(print);
    bar->addWidget(close);
    auto *status = new QHBoxLayout;
    status->setContentsMargins(6, 2, 6, 4);
    status->addWidget(m_status, 1);
    status->addWidget(m_stop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addLayout(status);

    connect(m_first, &QToolButton::clicked, this, [this] { m_view->goToPage(0); });
    connect(m_previous, &QToolButton::clicked, this,
            [this] { m_view->goToPage(m_view->currentPage() - 1); });
    connect(m_next, &QToolButton::clicked, this,
            [this] { m_view->goToPage(m_view->currentPage() + 1); });
    connect(m_last, &QToolButton::clicked, this,
            [this] { m_view->goToPage(m_document->pageCount() - 1); });
    connect(m_page, &QSpinBox::valueChanged, this, [this](int page) {
        if (m_view->currentPage() != page - 1)
            m_view->goToPage(page - 1);
    });
    connect(m_view, &ReportPageView::currentPageChanged, this,
            [this](int) { updatePageControls(); });
    connect(m_zoom, &QComboBox::activated, this, &ReportPreviewDialog::zoomTextChosen);
    connect(m_view, &ReportPageView::zoomChanged, this, [this](qreal zoom) {
        if (m_view->fitMode() != ReportPageView::FitNone)
            return;
        const int index = m_zoom->findData(qRound(zoom * 100));
        if (index >= 0)
            m_zoom->setCurrentIndex(index);
    });
    connect(print, &QPushButton::clicked, this, [this] { guarded([this] { this->print(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_stop, &QPushButton::clicked, this, &ReportPreviewDialog::stopReading);
    connect(&m_readTimer, &QTimer::timeout, this, &ReportPreviewDialog::readSlice);

    // A4 at the width of the window, as tall as the screen allows.
    QSize size(900, 1000);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);

    // The rest of the rows are read once the first page is on screen.
    if (m_query && !m_document->isFinished()) {
        auto started = std::make_shared<bool>(false);
        connect(m_view, &ReportPageView::painted, this, [this, started](int pages) {
            if (*started || pages == 0)
                return;
            *started = true;
            if (isReading())
                m_readTimer.start(0);
        });
    }
    updateStatus();
    updatePageControls();
    m_view->setFocus();
}

ReportPreviewDialog::~ReportPreviewDialog()
{
    m_readTimer.stop();
    m_query.reset();
}

bool ReportPreviewDialog::isReading() const
{
    return m_query && !m_document->isFinished();
}

void ReportPreviewDialog::readSlice()
{
    if (!isReading()) {
        m_readTimer.stop();
        return;
    }
    const int before = m_document->pageCount();
    try {
        ReportDocument *document = m_document.get();
        const bool done =
            m_query->read([document](const QSqlQuery &q) { document->addRow(q); }, 25);
        if (done) {
            m_document->finish();
            m_query.reset();
        }
    } catch (const EAppError &e) {
        m_failure = e.message();
        m_query.reset();
        m_document->finishInterrupted(QStringLiteral("Leitura interrompida por um erro: o "
                                                     "relatório está incompleto e sem totais."));
        messagePresenter()->show(MessagePresenter::Kind::Error, e.message());
    } catch (...) {
        m_query.reset();
        m_document->finishInterrupted(QStringLiteral("Leitura interrompida por um erro: o "
                                                     "relatório está incompleto e sem totais."));
        reportException(std::current_exception());
    }
    if (!isReading())
        m_readTimer.stop();
    if (m_document->pageCount() != before || !isReading())
        m_view->documentChanged();
    updateStatus();
    updatePageControls();
    if (!isReading())
        emit readingFinished();
}

void ReportPreviewDialog::stopReading()
{
    if (!isReading())
        return;
    m_readTimer.stop();
    m_query.reset();
    m_document->finishInterrupted(QStringLiteral("Leitura interrompida pelo usuário: o relatório "
                                                 "está incompleto e sem totais."));
    m_view->documentChanged();
    updateStatus();
    updatePageControls();
    emit readingFinished();
}

bool ReportPreviewDialog::readAll()
{
    if (!isReading())
        return true;
    m_readTimer.stop();
    bool cancel = false;
    ReportProgress progress(this, this, windowTitle(), &cancel);
    progress.setPhase(QStringLiteral("Lendo os dados do relatório..."), 0);
    ReportDocument *document = m_document.get();
    try {
        while (!m_query->read([document](const QSqlQuery &q) { document->addRow(q); }, 30)) {
            if (!progress.step(m_query->rows())) {
                m_readTimer.start(0);
                return false;
            }
        }
    } catch (const EAbort &) {
        throw;
    } catch (...) {
        m_query.reset();
        m_document->finishInterrupted(QStringLiteral("Leitura interrompida por um erro: o "
                                                     "relatório está incompleto e sem totais."));
        m_view->documentChanged();
        updateStatus();
        updatePageControls();
        throw;
    }
    m_document->finish();
    m_query.reset();
    m_view->documentChanged();
    updateStatus();
    updatePageControls();
    emit readingFinished();
    return true;
}

void ReportPreviewDialog::print()
{
    if (!readAll())
        return;
    QPrinter printer(QPrinter::HighResolution);
    setupReportPrinter(&printer, *m_document);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setMinMax(1, m_document->pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer.printRange() == QPrinter::CurrentPage)
        printer.setFromTo(m_view->currentPage() + 1, m_view->currentPage() + 1);
    bool cancel = false;
    ReportProgress progress(this, this, QStringLiteral("Imprimir"), &cancel);
    progress.setPhase(QStringLiteral("Imprimindo..."), m_document->pageCount());
    if (!printReportDocument(*m_document, &printer, &progress) && !progress.cancelled())
        throw EAppError(QStringLiteral("Não foi possível imprimir o relatório."));
}

void ReportPreviewDialog::updateStatus()
{
    const QString lines = number(m_document->rowCount());
    const QString pages = number(m_document->pageCount());
    if (isReading()) {
        m_status->setText(
            QStringLiteral("Lendo os dados: %1 linhas, %2 páginas até agora...").arg(lines, pages));
        m_stop->show();
    } else {
        m_status->setText(m_failure.isEmpty()
                              ? QStringLiteral("%1 linhas em %2 páginas.").arg(lines, pages)
                              : m_failure);
        m_stop->hide();
    }
}

void ReportPreviewDialog::updatePageControls()
{
    const int pages = m_document->pageCount();
    const int current = m_view->currentPage();
    {
        const QSignalBlocker blocker(m_page);
        m_page->setRange(1, qMax(1, pages));
        m_page->setValue(current + 1);
    }
    m_pageCount->setText(isReading() ? QStringLiteral("de …")
                                     : QStringLiteral("de %1").arg(number(pages)));
    m_first->setEnabled(current > 0);
    m_previous->setEnabled(current > 0);
    m_next->setEnabled(current < pages - 1);
    m_last->setEnabled(current < pages - 1);
}

void ReportPreviewDialog::zoomTextChosen(int index)
{
    if (index == 0) {
        m_view->setFitMode(ReportPageView::FitWidth);
    } else if (index == 1) {
        m_view->setFitMode(ReportPageView::FitPage);
    } else {
        m_view->setFitMode(ReportPageView::FitNone);
        m_view->setZoom(m_zoom->itemData(index).toInt() / 100.0);
    }
}

void ReportPreviewDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Print)) {
        guarded([this] { print(); });
        return;
    }
    QDialog::keyPressEvent(event);
}
