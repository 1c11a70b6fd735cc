#pragma once

#include "forms_global.h"
#include "reportdefinition.h"
#include "reportrender.h"

#include <QByteArray>

#include <vector>

class QIODevice;
class QPrinter;
class QSqlQuery;
class QSqlRecord;
class ReportProgress;

// Writes the rows of a report as CSV: UTF-8, a header row of the headings, one line per row
// of the query (the fields of the groups first, then the columns), raw values, fields holding
// a comma, a quote or a line break between quotes with quotes doubled, lines ending in CRLF.
class FORMS_EXPORT ReportCsvWriter
{
public:
    ReportCsvWriter(const ReportDefinition &definition, QIODevice *device);
    // Maps the fields and writes the header row.
    void setRecord(const QSqlRecord &record);
    void addRow(const QSqlQuery &query);
    // Writes what is buffered; false when the device refused it.
    bool flush();

    static QString quoted(const QString &field);

private:
    struct Column
    {
        QString field;
        QString heading;
        ReportFormat format;
        int index = -1;
    };
    const ReportDefinition &m_definition;
    QIODevice *m_device;
    std::vector<Column> m_columns;
    QString m_line;
    QByteArray m_buffer;
    bool m_ok = true;
};

// Writes the pages of a document as PDF; false when the device failed or progress said stop.
FORMS_EXPORT bool writeReportPdf(ReportDocument &document, QIODevice *device,
                                 ReportProgress *progress);
// Prints the pages of a document (the printer's page range and copies); false when progress
// said stop or the printer failed.
FORMS_EXPORT bool printReportDocument(ReportDocument &document, QPrinter *printer,
                                      ReportProgress *progress);
// Sets a printer to the document's page: A4 in its orientation, full page.
FORMS_EXPORT void setupReportPrinter(QPrinter *printer, const ReportDocument &document);
