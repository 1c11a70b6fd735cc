#include "reportquery.h"

#include "dataset.h"
#include "errors.h"

#include <QElapsedTimer>
#include <QSqlError>

ReportQuery::ReportQuery(const QSqlDatabase &db, const QString &sql, const TParams *params,
                         const QString &reportName)
    : m_query(db)
    , m_reportName(reportName)
{
    const SqlDialect dialect = sqlDialect(db);
    try {
        m_sql = expandReportSql(sql, dialect);
    } catch (const ReportSqlError &e) {
        throw EAppError(QStringLiteral("SQL do relatório \"%1\" inválido (%2): %3.")
                            .arg(reportName, textPosition(sql, e.offset), e.message));
    }
    m_query.setForwardOnly(true);
    if (!m_query.prepare(m_sql.text))
        fail(QStringLiteral("preparar a consulta"));
    for (const QString &name : std::as_const(m_sql.bindOrder)) {
        const TParam *param = params ? params->FindParam(name) : nullptr;
        if (!param)
            throw EAppError(QStringLiteral("O parâmetro %1 do relatório \"%2\" não foi "
                                           "declarado.")
                                .arg(name, reportName));
        m_query.addBindValue(reportBindValue(param, dialect, m_sql.dates.contains(name),
                                             m_sql.lists.contains(name)));
    }
}

ReportQuery::~ReportQuery() = default;

void ReportQuery::fail(const QString &what) const
{
    const QSqlError error = m_query.lastError();
    QString detail = error.databaseText().trimmed();
    if (detail.isEmpty())
        detail = error.driverText().trimmed();
    throw EDatabaseError(QStringLiteral("Não foi possível %1 do relatório \"%2\": %3")
                             .arg(what, m_reportName, detail));
}

void ReportQuery::open()
{
    m_atEnd = false;
    m_rows = 0;
    if (!m_query.exec())
        fail(QStringLiteral("executar a consulta"));
}

bool ReportQuery::read(const std::function<void(const QSqlQuery &)> &sink, qint64 milliseconds,
                       qint64 maxRows)
{
    if (m_atEnd)
        return true;
    QElapsedTimer timer;
    timer.start();
    qint64 count = 0;
    while (true) {
        if (!m_query.next()) {
            if (m_query.lastError().isValid())
                fail(QStringLiteral("ler as linhas da consulta"));
            m_atEnd = true;
            return true;
        }
        ++m_rows;
        sink(m_query);
        ++count;
        if (maxRows >= 0 && count >= maxRows)
            return false;
        // The clock is read every 64 rows only.
        if (milliseconds > 0 && (count & 63) == 0 && timer.elapsed() >= milliseconds)
            return false;
    }
}

void ReportQuery::close()
{
    m_query.finish();
    m_query.clear();
    m_atEnd = true;
}
