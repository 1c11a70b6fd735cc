#include "reportsql.h"

#include "dataset.h"
#include "errors.h"
#include "pesquisalista.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>

namespace {

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

class Expander
{
public:
    Expander(const QString &sql, SqlDialect dialect)
        : m_sql(sql)
        , m_dialect(dialect)
    {}

    ExpandedSql run()
    {
        const int n = int(m_sql.size());
        int i = 0;
        while (i < n) {
            const QChar c = m_sql.at(i);
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                i = copyQuoted(i);
            } else if (c == QLatin1Char('-') && peek(i + 1) == QLatin1Char('-')) {
                int end = int(m_sql.indexOf(QLatin1Char('\n'), i));
                if (end < 0)
                    end = n;
                m_out.text += QStringView(m_sql).mid(i, end - i);
                i = end;
            } else if (c == QLatin1Char('/') && peek(i + 1) == QLatin1Char('*')) {
                const int end = int(m_sql.indexOf(QLatin1String("*/"), i + 2));
                if (end < 0)
                    throw ReportSqlError{i, QStringLiteral("comentário /* sem */ de fechamento")};
                m_out.text += QStringView(m_sql).mid(i, end + 2 - i);
                i = end + 2;
            } else if (c == QLatin1Char(':') && peek(i + 1) == QLatin1Char(':')) {
                m_out.text += QLatin1String("::");
                i += 2;
            } else if (c == QLatin1Char(':') && isIdentStart(peek(i + 1))) {
                int end = i + 1;
                const QString name = readName(i, &end);
                placeholder(name);
                i = end;
            } else if (c == QLatin1Char('?')) {
                throw ReportSqlError{i, QStringLiteral("use parâmetros com nome (:P_NOME) em vez "
                                                       "de \"?\"")};
            } else if (c == QLatin1Char('{')) {
                i = macro(i);
            } else if (c == QLatin1Char('}')) {
                throw ReportSqlError{i, QStringLiteral("\"}\" sem macro aberta")};
            } else {
                m_out.text += c;
                ++i;
            }
        }
        return m_out;
    }

private:
    QChar peek(int i) const { return i < m_sql.size() ? m_sql.at(i) : QChar(); }

    int copyQuoted(int start)
    {
        const QChar quote = m_sql.at(start);
        int i = start + 1;
        const int n = int(m_sql.size());
        while (i < n) {
            if (m_sql.at(i) == quote) {
                if (peek(i + 1) == quote) {
                    i += 2;
                    continue;
                }
                m_out.text += QStringView(m_sql).mid(start, i + 1 - start);
                return i + 1;
            }
            ++i;
        }
        throw ReportSqlError{start, QStringLiteral("texto entre aspas sem fechamento")};
    }

    // Reads ":NAME" at start; returns the upper-cased name and sets end past it.
    QString readName(int start, int *end) const
    {
        int i = start + 1;
        while (i < m_sql.size() && isIdentChar(m_sql.at(i)))
            ++i;
        *end = i;
        return m_sql.mid(start + 1, i - start - 1).toUpper();
    }

    void placeholder(const QString &name)
    {
        m_out.text += QLatin1Char('?');
        m_out.bindOrder.append(name);
        if (!m_out.names.contains(name))
            m_out.names.append(name);
    }

    int macro(int start)
    {
        const int close = int(m_sql.indexOf(QLatin1Char('}'), start));
        const int nested = int(m_sql.indexOf(QLatin1Char('{'), start + 1));
        if (close < 0 || (nested >= 0 && nested < close))
            throw ReportSqlError{start, QStringLiteral("macro sem \"}\" de fechamento")};
        const QString body = m_sql.mid(start + 1, close - start - 1).trimmed();
        int w = 0;
        while (w < body.size() && isIdentChar(body.at(w)))
            ++w;
        const QString word = body.left(w).toUpper();
        const QString rest = body.mid(w).trimmed();

        if (word == QLatin1String("IN")) {
            // The expression, then the pick-list parameter as the last word.
            const int colon = int(rest.lastIndexOf(QLatin1Char(':')));
            const QString expression = colon > 0 ? rest.left(colon).trimmed() : QString();
            const QString param = colon >= 0 ? rest.mid(colon) : QString();
            if (expression.isEmpty() || !isParamToken(param))
                throw ReportSqlError{start, QStringLiteral("a macro {IN} espera uma expressão e "
                                                           "um parâmetro: {IN COLUNA :P_LISTA}")};
            if (hasParameterOrText(expression))
                throw ReportSqlError{start, QStringLiteral("a expressão da macro {IN} não pode "
                                                           "ter parâmetros nem textos")};
            const QString name = param.mid(1).toUpper();
            m_out.lists.insert(name);
            m_out.text += expression;
            if (m_dialect == SqlDialect::SQLite) {
                m_out.text += QLatin1String(" IN (SELECT value FROM json_each(NULLIF(");
                placeholder(name);
                m_out.text += QLatin1String(", '')))");
            } else {
                m_out.text += QLatin1String(" IN (SELECT json_array_elements_text(CAST(NULLIF(");
                placeholder(name);
                m_out.text += QLatin1String(", '') AS json)))");
            }
        } else if (word == QLatin1String("DATE")) {
            if (!isParamToken(rest))
                throw ReportSqlError{start, QStringLiteral("a macro {DATE} espera um parâmetro: "
                                                           "{DATE :P_DATA}")};
            const QString name = rest.mid(1).toUpper();
            m_out.dates.insert(name);
            if (m_dialect == SqlDialect::SQLite) {
                placeholder(name);
            } else {
                m_out.text += QLatin1String("CAST(");
                placeholder(name);
                m_out.text += QLatin1String(" AS DATE)");
            }
        } else {
            throw ReportSqlError{start, QStringLiteral("macro desconhecida \"{%1\" (use {IN …} "
                                                       "ou {DATE …})")
                                            .arg(body.left(w > 0 ? w : 12))};
        }
        return close + 1;
    }

    // True when an expression holds a parameter or a quoted text ("::" casts are fine).
    static bool hasParameterOrText(const QString &expression)
    {
        for (int i = 0; i < expression.size(); ++i) {
            const QChar c = expression.at(i);
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                return true;
            if (c == QLatin1Char(':')) {
                if (i + 1 < expression.size() && expression.at(i + 1) == QLatin1Char(':')) {
                    ++i;
                    continue;
                }
                return true;
            }
        }
        return false;
    }

    static bool isParamToken(const QString &token)
    {
        if (token.size() < 2 || token.at(0) != QLatin1Char(':') || !isIdentStart(token.at(1)))
            return false;
        for (int i = 2; i < token.size(); ++i)
            if (!isIdentChar(token.at(i)))
                return false;
        return true;
    }

    const QString &m_sql;
    SqlDialect m_dialect;
    ExpandedSql m_out;
};

QDate dateOfVariant(const QVariant &value, bool *ok)
{
    *ok = true;
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        // The local calendar day the user meant, never its UTC instant.
        return value.toDateTime().toLocalTime().date();
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return dateTimeToDate(value.toDouble());
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid())
            date = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
        *ok = date.isValid();
        return date;
    }
    default:
        *ok = false;
        return {};
    }
}

} // namespace

ExpandedSql expandReportSql(const QString &sql, SqlDialect dialect)
{
    return Expander(sql, dialect).run();
}

SqlDialect sqlDialect(const QSqlDatabase &db)
{
    const QString driver = db.driverName();
    if (driver.startsWith(QLatin1String("QSQLITE")))
        return SqlDialect::SQLite;
    if (driver == QLatin1String("QPSQL"))
        return SqlDialect::PostgreSQL;
    throw EAppError(QStringLiteral("Os relatórios não funcionam com o banco de dados \"%1\" "
                                   "(use SQLite ou PostgreSQL).")
                        .arg(driver));
}

QVariant reportBindValue(const TParam *param, SqlDialect dialect, bool asDate, bool asList)
{
    const QVariant value = param->AsVariant();
    const bool dateType = param->DataType() == TFieldType::ftDateTime ||
                          value.typeId() == QMetaType::QDate ||
                          value.typeId() == QMetaType::QDateTime;
    if (asDate || dateType) {
        QDate date;
        bool ok = true;
        if (param->DataType() == TFieldType::ftDateTime)
            date = dateTimeToDate(param->AsDateTime());
        else if (value.isNull() ||
                 (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()))
            date = QDate(1899, 12, 30);
        else
            date = dateOfVariant(value, &ok);
        if (!ok || !date.isValid())
            throw EAppError(QStringLiteral("O parâmetro %1 do relatório deve receber uma data.")
                                .arg(param->Name()));
        // The date-time 0 (30/12/1899) is an open end of a range.
        if (date == QDate(1899, 12, 30))
            return dialect == SqlDialect::SQLite ? QVariant(QMetaType::fromType<QString>())
                                                 : QVariant(QMetaType::fromType<QDate>());
        if (dialect == SqlDialect::SQLite)
            return date.toString(QStringLiteral("yyyy-MM-dd"));
        return date;
    }
    if (asList) {
        const QString list = value.toString();
        if (!isPickListString(list))
            throw EAppError(QStringLiteral("O parâmetro %1 do relatório não contém uma lista de "
                                           "códigos válida.")
                                .arg(param->Name()));
        // The keys as this library read them, written out again: the database's JSON parser
        // is stricter than Qt's, and must read exactly the keys that were checked.
        const QString canonical = pickListToString(pickListKeys(list));
        return canonical.isNull() ? QString(QLatin1String("")) : canonical;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return value;
    default: {
        const QString text = value.toString();
        // A null text would bind as SQL NULL; the parameters hold the empty text instead.
        return text.isNull() ? QString(QLatin1String("")) : text;
    }
    }
}

QString textPosition(const QString &text, int offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return QStringLiteral("linha %1, coluna %2").arg(line).arg(column);
}
