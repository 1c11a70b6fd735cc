#include "reportdefinition.h"

#include "errors.h"
#include "reportdesigner.h"
#include "reportsql.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

bool ReportFormat::parse(const QString &text, ReportFormat *format)
{
    const QString kind = text.section(QLatin1Char(':'), 0, 0).trimmed().toLower();
    const QString argument = text.section(QLatin1Char(':'), 1);
    ReportFormat f;
    if (kind == QLatin1String("text") && argument.isEmpty()) {
        f.kind = Text;
    } else if (kind == QLatin1String("date") && argument.isEmpty()) {
        f.kind = Date;
    } else if (kind == QLatin1String("datetime") && argument.isEmpty()) {
        f.kind = DateTime;
    } else if (kind == QLatin1String("integer") && argument.isEmpty()) {
        f.kind = Integer;
    } else if (kind == QLatin1String("number")) {
        f.kind = Number;
        f.decimals = f.minDecimals = 2;
        if (!argument.isEmpty()) {
            bool okMin = false;
            bool okMax = false;
            const int dash = int(argument.indexOf(QLatin1Char('-')));
            f.minDecimals = (dash < 0 ? argument : argument.left(dash)).toInt(&okMin);
            f.decimals = dash < 0 ? f.minDecimals : argument.mid(dash + 1).toInt(&okMax);
            if (!okMin || (dash >= 0 && !okMax) || f.minDecimals < 0 || f.decimals > 6 ||
                f.minDecimals > f.decimals)
                return false;
        }
    } else if (kind == QLatin1String("mask") && !argument.isEmpty()) {
        f.kind = Mask;
        f.argument = argument;
    } else if (kind == QLatin1String("treecode") && argument.isEmpty()) {
        f.kind = TreeCode;
    } else if (kind == QLatin1String("regnum") && !argument.trimmed().isEmpty()) {
        f.kind = RegNum;
        f.argument = argument.trimmed().toUpper();
    } else {
        return false;
    }
    *format = f;
    return true;
}

QStringList templateFields(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)\\}"));
    QStringList fields;
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1).toUpper();
        if (!fields.contains(name))
            fields.append(name);
    }
    return fields;
}

QStringList ReportDefinition::fieldsUsed() const
{
    QStringList fields;
    auto add = [&fields](const QString &f) {
        if (!f.isEmpty() && !fields.contains(f))
            fields.append(f);
    };
    for (const ReportGroup &g : groups) {
        add(g.key);
        for (const ReportGroupField &f : g.fields) {
            add(f.field);
            if (f.format.kind == ReportFormat::RegNum)
                add(f.format.argument);
        }
        for (const QString &f : templateFields(g.heading) + templateFields(g.footer))
            add(f);
    }
    for (const ReportColumn &c : columns) {
        add(c.field);
        if (c.format.kind == ReportFormat::RegNum)
            add(c.format.argument);
    }
    return fields;
}

namespace {

// Reads one definition and reports every fault with the file name and the place.
class DefinitionParser
{
public:
    explicit DefinitionParser(const QString &path)
        : m_path(path)
    {}

    ReportDefinition parse()
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("não foi possível ler o arquivo (%1)").arg(file.errorString()));
        const QByteArray data = file.readAll();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
        if (error.error != QJsonParseError::NoError) {
            const QString text = QString::fromUtf8(data.left(error.offset));
            fail(QStringLiteral("JSON inválido na posição %1 (%2): %3")
                     .arg(error.offset)
                     .arg(textPosition(text, int(text.size())), error.errorString()));
        }
        if (!doc.isObject())
            fail(QStringLiteral("o arquivo deve conter um objeto JSON"));
        const QJsonObject root = doc.object();
        checkKeys(root,
                  {"code", "order", "name", "title", "orientation", "sql", "columns", "groups",
                   "criteria", "grandTotal"},
                  QString());

        ReportDefinition def;
        def.file = m_path;
        def.code = string(root, "code", QString(), true);
        def.order = integer(root, "order", QString());
        def.name = string(root, "name", QString(), true);
        def.title = string(root, "title", QString(), true);
        def.grandTotal = string(root, "grandTotal", QString(), false);
        const QString orientation = string(root, "orientation", QString(), false).toLower();
        if (orientation.isEmpty() || orientation == QLatin1String("portrait"))
            def.orientation = QPageLayout::Portrait;
        else if (orientation == QLatin1String("landscape"))
            def.orientation = QPageLayout::Landscape;
        else
            fail(QStringLiteral("\"orientation\" deve ser \"portrait\" ou \"landscape\""));

        def.sql = sqlText(root);
        ExpandedSql expanded;
        try {
            expanded = expandReportSql(def.sql, SqlDialect::SQLite);
        } catch (const ReportSqlError &e) {
            fail(QStringLiteral("SQL, %1: %2").arg(textPosition(def.sql, e.offset), e.message));
        }
        def.parameters = expanded.names;

        const QJsonArray columns = array(root, "columns", QString(), true);
        if (columns.isEmpty())
            fail(QStringLiteral("\"columns\" deve ter ao menos uma coluna"));
        for (int i = 0; i < columns.size(); ++i)
            def.columns.append(column(columns.at(i), QStringLiteral("columns[%1]").arg(i)));

        const QJsonArray groups = array(root, "groups", QString(), false);
        for (int i = 0; i < groups.size(); ++i)
            def.groups.append(group(groups.at(i), QStringLiteral("groups[%1]").arg(i)));

        const QJsonArray criteria = array(root, "criteria", QString(), false);
        for (int i = 0; i < criteria.size(); ++i) {
            const QString where = QStringLiteral("criteria[%1]").arg(i);
            const ReportCriterion c = criterion(criteria.at(i), where);
            if (!c.lookup.isEmpty()) {
                try {
                    const ExpandedSql lookup = expandReportSql(c.lookup, SqlDialect::SQLite);
                    for (const QString &p : lookup.names)
                        if (!def.parameters.contains(p))
                            def.parameters.append(p);
                } catch (const ReportSqlError &e) {
                    fail(QStringLiteral("%1.lookup, %2: %3")
                             .arg(where, textPosition(c.lookup, e.offset), e.message));
                }
            }
            // Every parameter a criterion shows must be one the report declares.
            for (const QString &p : {c.param, c.all, c.from, c.to, c.list})
                if (!p.isEmpty() && !def.parameters.contains(p))
                    fail(QStringLiteral("%1: o parâmetro %2 não aparece no SQL").arg(where, p));
            def.criteria.append(c);
        }

        // A RegNum format reads the person type from a field of the same row; that is checked
        // against the query's columns when the report runs.
        return def;
    }

private:
    [[noreturn]] void fail(const QString &fault) const
    {
        throw EAppError(QStringLiteral("Definição de relatório inválida em \"%1\": %2.")
                            .arg(QDir::toNativeSeparators(m_path), fault));
    }

    static QString path(const QString &where, const char *key)
    {
        return where.isEmpty() ? QString::fromLatin1(key)
                               : where + QLatin1Char('.') + QString::fromLatin1(key);
    }

    // Unknown keys are faults (a misspelt key would otherwise be ignored); "comment" is free.
    void checkKeys(const QJsonObject &object, std::initializer_list<const char *> known,
                   const QString &where) const
    {
        QSet<QString> names;
        for (const char *k : known)
            names.insert(QString::fromLatin1(k));
        names.insert(QStringLiteral("comment"));
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!names.contains(it.key()))
                fail(QStringLiteral("chave desconhecida \"%1\"")
                         .arg(where.isEmpty() ? it.key() : where + QLatin1Char('.') + it.key()));
        }
    }

    QString string(const QJsonObject &object, const char *key, const QString &where,
                   bool required) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (required)
                fail(QStringLiteral("falta a chave \"%1\"").arg(path(where, key)));
            return {};
        }
        if (!value.isString())
            fail(QStringLiteral("\"%1\" deve ser um texto").arg(path(where, key)));
        const QString text = value.toString();
        if (required && text.trimmed().isEmpty())
            fail(QStringLiteral("\"%1\" não pode ser vazio").arg(path(where, key)));
        return text;
    }

    int integer(const QJsonObject &object, const char *key, const QString &where) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            fail(QStringLiteral("falta a chave \"%1\"").arg(path(where, key)));
        const double d = value.toDouble(-1.5);
        if (!value.isDouble() || d != double(qint64(d)) || d < 0 || d > 1e6)
            fail(QStringLiteral("\"%1\" deve ser um número inteiro").arg(path(where, key)));
        return int(d);
    }

    QJsonArray array(const QJsonObject &object, const char *key, const QString &where,
                     bool required) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (required)
                fail(QStringLiteral("falta a chave \"%1\"").arg(path(where, key)));
            return {};
        }
        if (!value.isArray())
            fail(QStringLiteral("\"%1\" deve ser uma lista").arg(path(where, key)));
        return value.toArray();
    }

    QJsonObject object(const QJsonValue &value, const QString &where) const
    {
        if (!value.isObject())
            fail(QStringLiteral("\"%1\" deve ser um objeto").arg(where));
        return value.toObject();
    }

    // The SQL as one text or as a list of lines.
    QString sqlText(const QJsonObject &root) const
    {
        const QJsonValue value = root.value(QLatin1String("sql"));
        if (value.isUndefined())
            fail(QStringLiteral("falta a chave \"sql\""));
        QString sql;
        if (value.isString()) {
            sql = value.toString();
        } else if (value.isArray()) {
            QStringList lines;
            for (const QJsonValue &line : value.toArray()) {
                if (!line.isString())
                    fail(QStringLiteral("as linhas de \"sql\" devem ser textos"));
                lines.append(line.toString());
            }
            sql = lines.join(QLatin1Char('\n'));
        } else {
            fail(QStringLiteral("\"sql\" deve ser um texto ou uma lista de linhas"));
        }
        if (sql.trimmed().isEmpty())
            fail(QStringLiteral("\"sql\" não pode ser vazio"));
        return sql;
    }

    ReportFormat format(const QJsonObject &o, const QString &where) const
    {
        ReportFormat f;
        const QString text = string(o, "format", where, false);
        if (!text.isEmpty() && !ReportFormat::parse(text, &f))
            fail(QStringLiteral("\"%1.format\": formato desconhecido \"%2\" (use text, date, "
                                "datetime, integer, number[:casas ou :mín-máx], mask:MÁSCARA ou "
                                "regnum:CAMPO ou treecode)")
                     .arg(where, text));
        return f;
    }

    ReportColumn column(const QJsonValue &value, const QString &where) const
    {
        const QJsonObject o = object(value, where);
        checkKeys(o, {"field", "heading", "width", "align", "format", "total"}, where);
        ReportColumn c;
        c.field = string(o, "field", where, true).trimmed().toUpper();
        c.heading = string(o, "heading", where, false);
        const QJsonValue width = o.value(QLatin1String("width"));
        if (!width.isUndefined()) {
            if (!width.isDouble() || width.toDouble() <= 0)
                fail(QStringLiteral("\"%1.width\" deve ser um número positivo").arg(where));
            c.width = width.toDouble();
        }
        c.format = format(o, where);
        const QString align = string(o, "align", where, false).toLower();
        if (align.isEmpty())
            c.align = c.format.isNumeric() ? ReportColumn::Right : ReportColumn::Left;
        else if (align == QLatin1String("left"))
            c.align = ReportColumn::Left;
        else if (align == QLatin1String("right"))
            c.align = ReportColumn::Right;
        else if (align == QLatin1String("center"))
            c.align = ReportColumn::Center;
        else
            fail(QStringLiteral("\"%1.align\" deve ser left, right ou center").arg(where));
        const QString total = string(o, "total", where, false).toLower();
        if (total.isEmpty()) {
            c.total = ReportColumn::NoTotal;
        } else if (total == QLatin1String("sum")) {
            if (!c.format.isNumeric())
                fail(QStringLiteral("\"%1.total\": só colunas integer ou number podem ser "
                                    "somadas")
                         .arg(where));
            c.total = ReportColumn::Sum;
        } else if (total == QLatin1String("count")) {
            c.total = ReportColumn::Count;
        } else {
            fail(QStringLiteral("\"%1.total\" deve ser sum ou count").arg(where));
        }
        return c;
    }

    ReportGroup group(const QJsonValue &value, const QString &where) const
    {
        const QJsonObject o = object(value, where);
        checkKeys(o, {"key", "heading", "footer", "totals", "fields"}, where);
        ReportGroup g;
        g.key = string(o, "key", where, true).trimmed().toUpper();
        g.heading = string(o, "heading", where, true);
        g.footer = string(o, "footer", where, false);
        const QJsonValue totals = o.value(QLatin1String("totals"));
        if (!totals.isUndefined() && !totals.isBool())
            fail(QStringLiteral("\"%1.totals\" deve ser true ou false").arg(where));
        g.totals = totals.toBool(true);
        const QJsonArray fields = array(o, "fields", where, false);
        for (int i = 0; i < fields.size(); ++i) {
            const QString fw = QStringLiteral("%1.fields[%2]").arg(where).arg(i);
            const QJsonObject fo = object(fields.at(i), fw);
            checkKeys(fo, {"field", "heading", "format"}, fw);
            ReportGroupField f;
            f.field = string(fo, "field", fw, true).trimmed().toUpper();
            f.heading = string(fo, "heading", fw, false);
            f.format = format(fo, fw);
            g.fields.append(f);
        }
        return g;
    }

    ReportCriterion criterion(const QJsonValue &value, const QString &where) const
    {
        const QJsonObject o = object(value, where);
        checkKeys(o, {"label", "kind", "param", "lookup", "all", "from", "to", "list"}, where);
        ReportCriterion c;
        c.label = string(o, "label", where, true);
        const QString kind = string(o, "kind", where, true).toLower();
        auto param = [&](const char *key) {
            return string(o, key, where, true).trimmed().toUpper();
        };
        auto forbid = [&](std::initializer_list<const char *> keys) {
            for (const char *k : keys)
                if (o.contains(QLatin1String(k)))
                    fail(QStringLiteral("\"%1.%2\" não vale para o tipo \"%3\"")
                             .arg(where, QLatin1String(k), kind));
        };
        if (kind == QLatin1String("value")) {
            c.kind = ReportCriterion::Value;
            c.param = param("param");
            c.lookup = string(o, "lookup", where, false);
            forbid({"all", "from", "to", "list"});
        } else if (kind == QLatin1String("range")) {
            c.kind = ReportCriterion::Range;
            c.all = param("all");
            c.from = param("from");
            c.to = param("to");
            forbid({"param", "lookup", "list"});
        } else if (kind == QLatin1String("list")) {
            c.kind = ReportCriterion::List;
            c.all = param("all");
            c.list = param("list");
            forbid({"param", "lookup", "from", "to"});
        } else {
            fail(QStringLiteral("\"%1.kind\" deve ser value, range ou list").arg(where));
        }
        return c;
    }

    QString m_path;
};

} // namespace

ReportDefinition parseReportDefinition(const QString &filePath)
{
    return DefinitionParser(filePath).parse();
}

namespace {

// The definitions read so far, by code and directory, with the files they came from: they are
// read again only when a file was added, removed or changed.
struct KeptDefinitions
{
    QStringList fingerprint; // path, time and size of each file
    QList<ReportDefinition> definitions;
};

QMutex g_definitionsMutex;
QHash<QString, KeptDefinitions> g_definitions;

QStringList fingerprintOf(const QStringList &files)
{
    QStringList fingerprint;
    fingerprint.reserve(files.size());
    for (const QString &file : files) {
        const QFileInfo info(file);
        fingerprint << QStringLiteral("%1|%2|%3")
                           .arg(file)
                           .arg(info.lastModified().toMSecsSinceEpoch())
                           .arg(info.size());
    }
    return fingerprint;
}

} // namespace

QList<ReportDefinition> loadReportDefinitions(const QString &code, const QString &directory)
{
    const QDir dir(directory);
    QStringList files;
    if (!directory.isEmpty() && dir.exists()) {
        // <dir>/<code>*.json, then every .json of <dir>/<code>/.
        // A file of another code that starts with this one (KMB6120.json) is not ours.
        const QRegularExpression own(
            QStringLiteral("^%1([^A-Za-z0-9].*)?\\.json$").arg(QRegularExpression::escape(code)),
            QRegularExpression::CaseInsensitiveOption);
        const QFileInfoList top =
            dir.entryInfoList({code + QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        for (const QFileInfo &fi : top)
            if (own.match(fi.fileName()).hasMatch())
                files.append(fi.absoluteFilePath());
        const QDir sub(dir.filePath(code));
        if (!code.isEmpty() && sub.exists()) {
            const QFileInfoList inSub =
                sub.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
            for (const QFileInfo &fi : inSub)
                files.append(fi.absoluteFilePath());
        }
    }
    if (code.isEmpty() || files.isEmpty())
        throw EReportNotFound(code, directory);

    const QString cacheKey = code.toUpper() + QLatin1Char('\n') + dir.absolutePath();
    const QStringList fingerprint = fingerprintOf(files);
    {
        QMutexLocker lock(&g_definitionsMutex);
        const auto kept = g_definitions.constFind(cacheKey);
        if (kept != g_definitions.constEnd() && kept->fingerprint == fingerprint)
            return kept->definitions;
    }

    QList<ReportDefinition> defs;
    for (const QString &file : files) {
        ReportDefinition def = parseReportDefinition(file);
        if (def.code.compare(code, Qt::CaseInsensitive) != 0)
            throw EAppError(QStringLiteral("Definição de relatório inválida em \"%1\": o código "
                                           "\"%2\" não é o do relatório \"%3\".")
                                .arg(QDir::toNativeSeparators(file), def.code, code));
        for (const ReportDefinition &other : defs) {
            if (other.order == def.order)
                throw EAppError(
                    QStringLiteral("As definições \"%1\" e \"%2\" têm a mesma "
                                   "ordem (%3).")
                        .arg(QDir::toNativeSeparators(other.file), QDir::toNativeSeparators(file))
                        .arg(def.order));
        }
        defs.append(def);
    }
    std::stable_sort(
        defs.begin(), defs.end(),
        [](const ReportDefinition &a, const ReportDefinition &b) { return a.order < b.order; });
    QMutexLocker lock(&g_definitionsMutex);
    g_definitions.insert(cacheKey, {fingerprint, defs});
    return defs;
}
