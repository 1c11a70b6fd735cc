#pragma once

#include "forms_global.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

class TParam;
class TParams;

// SQL of the report definitions: named parameters (:P_NAME) and two runner macros, expanded
// per database into bound forms, so no value is ever spliced into the SQL text.
//   {IN <expression> :P_LIST}  the expression is one of the keys of the pick-list string
//                              P_LIST (a JSON array of texts; the empty text holds no key)
//   {DATE :P_DATE}             the parameter as a date, NULL for an open end
enum class SqlDialect { SQLite, PostgreSQL };

// A syntax fault of a report's SQL, at a character offset.
struct FORMS_EXPORT ReportSqlError
{
    int offset = 0;
    QString message;
};

struct FORMS_EXPORT ExpandedSql
{
    QString text;          // with positional '?' placeholders
    QStringList bindOrder; // the parameter bound to each '?', in order
    QStringList names;     // distinct parameters in order of first use
    QSet<QString> dates;   // parameters used through {DATE}
    QSet<QString> lists;   // parameters used through {IN}
};

// Expands the macros and turns every occurrence of a named parameter into its own positional
// placeholder. Text inside quotes and comments and "::" casts are left alone. Parameter names
// are upper-cased. Raises ReportSqlError.
FORMS_EXPORT ExpandedSql expandReportSql(const QString &sql, SqlDialect dialect);

// The dialect of a connection; EAppError for a driver the reports do not support.
FORMS_EXPORT SqlDialect sqlDialect(const QSqlDatabase &db);

// The value bound for a parameter. Texts are never NULL (a null text binds as the empty text);
// date-times and dates bind as dates ('YYYY-MM-DD' on SQLite, a QDate on PostgreSQL, never a
// date-time a driver would shift to UTC), and the date-time 0 binds as NULL. Raises EAppError
// for a value that does not fit its use (a malformed pick-list string, a text used as a date).
FORMS_EXPORT QVariant reportBindValue(const TParam *param, SqlDialect dialect, bool asDate,
                                      bool asList);

// Line and column (1-based) of an offset in a text, for messages.
FORMS_EXPORT QString textPosition(const QString &text, int offset);
