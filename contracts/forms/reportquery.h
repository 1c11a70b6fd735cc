#pragma once

#include "forms_global.h"
#include "reportsql.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>

class TParams;

// Prepares an SQL text of a report with its macros expanded for the connection and every
// occurrence of a parameter bound to its own placeholder, then runs it forward only.
class FORMS_EXPORT ReportQuery
{
public:
    ReportQuery(const QSqlDatabase &db, const QString &sql, const TParams *params,
                const QString &reportName);
    ~ReportQuery();
    ReportQuery(const ReportQuery &) = delete;
    ReportQuery &operator=(const ReportQuery &) = delete;

    // Runs the query; raises EDatabaseError with the database's message.
    void open();
    QSqlRecord record() const { return m_query.record(); }
    QSqlQuery &query() { return m_query; }

    // Reads rows into the sink, at most for about the given time (0: until the end). Returns
    // true once every row was read. Raises EDatabaseError when reading fails.
    bool read(const std::function<void(const QSqlQuery &)> &sink, qint64 milliseconds,
              qint64 maxRows = -1);
    bool atEnd() const { return m_atEnd; }
    qint64 rows() const { return m_rows; }
    void close();

private:
    [[noreturn]] void fail(const QString &what) const;

    QSqlQuery m_query;
    ExpandedSql m_sql;
    QString m_reportName;
    bool m_atEnd = false;
    qint64 m_rows = 0;
};
