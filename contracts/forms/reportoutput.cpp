#include "reportoutput.h"

#include "reportpdf.h"
#include "reportprogress.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSqlQuery>
#include <QSqlRecord>

ReportCsvWriter::ReportCsvWriter(const ReportDefinition &definition, QIODevice *device)
    : m_definition(definition)
    , m_device(device)
{
    // The fields of the groups (the key when a group names none), then the columns; a field
    // appears once.
    QStringList seen;
    auto add = [&](const QString &field, const QString &heading, const ReportFormat &format) {
        if (seen.contains(field))
            return;
        seen.append(field);
        m_columns.push_back({field, heading.isEmpty() ? field : heading, format, -1});
    };
    for (const ReportGroup &g : definition.groups) {
        if (g.fields.isEmpty())
            add(g.key, g.key, ReportFormat());
        for (const ReportGroupField &f : g.fields)
            add(f.field, f.heading, f.format);
    }
    for (const ReportColumn &c : definition.columns)
        add(c.field, c.heading, c.format);
}

QString ReportCsvWriter::quoted(const QString &field)
{
    bool needs = false;
    for (QChar c : field) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r')) {
            needs = true;
            break;
        }
    }
    if (!needs)
        return field;
    QString out = field;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

void ReportCsvWriter::setRecord(const QSqlRecord &record)
{
    QStringList fields;
    for (const Column &c : m_columns)
        fields.append(c.field);
    const ReportFieldMap map(record, fields, m_definition.name);
    QStringList headings;
    for (Column &c : m_columns) {
        c.index = map.index(c.field);
        headings.append(quoted(c.heading));
    }
    m_buffer += headings.join(QLatin1Char(',')).toUtf8();
    m_buffer += "\r\n";
}

void ReportCsvWriter::addRow(const QSqlQuery &query)
{
    m_line.clear();
    bool first = true;
    for (const Column &c : m_columns) {
        if (!first)
            m_line += QLatin1Char(',');
        first = false;
        m_line += quoted(reportRawValue(query.value(c.index), c.format));
    }
    m_line += QLatin1String("\r\n");
    m_buffer += m_line.toUtf8();
    if (m_buffer.size() >= (1 << 20))
        flush();
}

bool ReportCsvWriter::flush()
{
    if (!m_buffer.isEmpty()) {
        if (m_device->write(m_buffer) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }
    return m_ok;
}

bool writeReportPdf(ReportDocument &document, QIODevice *device, ReportProgress *progress)
{
    const QString creator = QStringLiteral("Relatórios %1").arg(document.definition().code);
    if (ReportPdfWriter::canEmbed(document.textCache())) {
        ReportPdfWriter writer(device, document.textCache(), document.pageSize());
        writer.setTitle(document.definition().title);
        writer.setCreator(creator);
        if (!writer.begin())
            return false;
        ReportPageItems items;
        for (int page = 0; page < document.pageCount(); ++page) {
            document.collectPage(page, items);
            if (!writer.addPage(items))
                return false;
            if (progress && !progress->step(page + 1))
                return false;
        }
        return writer.finish();
    }

    // Fonts without TrueType outlines: Qt's PDF engine embeds them.
    QPdfWriter writer(device);
    writer.setResolution(72); // one device unit is one point, the document's unit
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation(),
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setTitle(document.definition().title);
    writer.setCreator(creator);
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0 && !writer.newPage())
            return false;
        document.paintPage(&painter, page);
        if (progress && !progress->step(page + 1)) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

void setupReportPrinter(QPrinter *printer, const ReportDocument &document)
{
    printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation(),
                                       QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    printer->setFullPage(true);
    printer->setDocName(document.definition().title);
}

bool printReportDocument(ReportDocument &document, QPrinter *printer, ReportProgress *progress)
{
    int first = 1;
    int last = document.pageCount();
    if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        first = qMax(1, printer->fromPage());
        last = qMin(last, printer->toPage() > 0 ? printer->toPage() : last);
    }
    if (first > last)
        return true;
    const int copies = printer->supportsMultipleCopies() ? 1 : qMax(1, printer->copyCount());
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // The page is laid out in points; the printer counts in its own dots.
    const QRectF paper = printer->paperRect(QPrinter::DevicePixel);
    const qreal scale = qMin(paper.width() / document.pageSize().width(),
                             paper.height() / document.pageSize().height());
    bool firstPage = true;
    int done = 0;
    for (int copy = 0; copy < copies; ++copy) {
        for (int page = first; page <= last; ++page) {
            if (!firstPage && !printer->newPage()) {
                painter.end();
                return false;
            }
            firstPage = false;
            painter.save();
            painter.scale(scale, scale);
            document.paintPage(&painter, page - 1);
            painter.restore();
            if (progress && !progress->step(++done)) {
                printer->abort();
                painter.end();
                return false;
            }
        }
    }
    return painter.end();
}
