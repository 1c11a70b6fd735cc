// The report definition parser on any file, and the SQL expansion, formats and heading
// templates it uses on any text: a definition is read or refused with a message that names the
// file, never anything else (a crash, another exception, a definition that breaks its rules).
#include "errors.h"
#include "fuzzing.h"
#include "reportdefinition.h"
#include "reportsql.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

// The file each input is written to: in memory where there is a memory file system, since
// ext4 writes a file out to disk whenever it is truncated and written again.
const QString &definitionPath()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_reportdefinition-XXXXXX")
                                 : QDir::tempPath() +
                                       QStringLiteral("/fuzz_reportdefinition-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("KMB999_fuzz.json"));
    return path;
}

// A parameter name as the runner takes it from the SQL: an identifier, in capitals. (Letters
// beyond ASCII are letters to the runner; the screens only use ASCII names.)
bool isParameterName(const QString &name)
{
    if (name.isEmpty() || !(name.at(0).isLetter() || name.at(0) == QLatin1Char('_')))
        return false;
    for (const QChar c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return false;
    return name == name.toUpper();
}

void checkDefinition(const ReportDefinition &def)
{
    const QString what = QStringLiteral("definition \"%1\"").arg(def.name);
    FUZZ_CHECK(!def.code.trimmed().isEmpty() && !def.name.trimmed().isEmpty(), what);
    FUZZ_CHECK(!def.title.trimmed().isEmpty() && !def.sql.trimmed().isEmpty(), what);
    FUZZ_CHECK(!def.columns.isEmpty(), what);
    FUZZ_CHECK(QSet<QString>(def.parameters.begin(), def.parameters.end()).size() ==
                   def.parameters.size(),
               what + QStringLiteral(": a parameter twice"));
    for (const QString &p : def.parameters)
        FUZZ_CHECK(isParameterName(p), what + QStringLiteral(": parameter ") + fuzzShow(p));
    for (const ReportCriterion &c : def.criteria)
        for (const QString &p : {c.param, c.all, c.from, c.to, c.list})
            FUZZ_CHECK(p.isEmpty() || def.parameters.contains(p),
                       what + QStringLiteral(": criterion of an undeclared ") + fuzzShow(p));
    const QStringList used = def.fieldsUsed();
    for (const ReportColumn &column : def.columns) {
        FUZZ_CHECK(column.width > 0, what);
        FUZZ_CHECK(used.contains(column.field), what + QStringLiteral(": ") + column.field);
        FUZZ_CHECK(column.total != ReportColumn::Sum || column.format.isNumeric(), what);
    }
}

void checkExpansion(const QString &sql, SqlDialect dialect)
{
    try {
        const ExpandedSql e = expandReportSql(sql, dialect);
        const QSet<QString> names(e.names.begin(), e.names.end());
        FUZZ_CHECK(names.size() == e.names.size(), fuzzShow(sql));
        for (const QString &p : e.bindOrder)
            FUZZ_CHECK(names.contains(p), fuzzShow(sql));
        for (const QString &p : e.names)
            FUZZ_CHECK(isParameterName(p) && e.bindOrder.contains(p), fuzzShow(sql));
        for (const QString &p : e.dates + e.lists)
            FUZZ_CHECK(names.contains(p), fuzzShow(sql));
    } catch (const ReportSqlError &error) {
        FUZZ_CHECK(error.offset >= 0 && error.offset <= sql.size() && !error.message.isEmpty(),
                   fuzzShow(sql));
        FUZZ_CHECK(!textPosition(sql, error.offset).isEmpty(), fuzzShow(sql));
    }
}

void checkFormat(const QString &text)
{
    ReportFormat format;
    if (!ReportFormat::parse(text, &format))
        return;
    FUZZ_CHECK(format.minDecimals >= 0 && format.minDecimals <= format.decimals &&
                   format.decimals <= 6,
               fuzzShow(text));
    if (format.kind == ReportFormat::Mask || format.kind == ReportFormat::RegNum)
        FUZZ_CHECK(!format.argument.isEmpty(), fuzzShow(text));
}

void checkTemplate(const QString &text)
{
    const QString upper = text.toUpper();
    for (const QString &field : templateFields(text))
        FUZZ_CHECK(isParameterName(field) &&
                       upper.contains(QLatin1Char('{') + field + QLatin1Char('}')),
                   fuzzShow(text) + QStringLiteral(" -> ") + field);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &path = definitionPath();
    {
        QFile::remove(path); // a new file, never one truncated
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            fuzzFailure("the definition file is written", file.errorString());
    }
    try {
        checkDefinition(parseReportDefinition(path));
    } catch (const EAppError &e) {
        FUZZ_CHECK(e.message().contains(QDir::toNativeSeparators(path)), e.message());
    }

    const QString text = fuzzText(data, size);
    checkExpansion(text, SqlDialect::SQLite);
    checkExpansion(text, SqlDialect::PostgreSQL);
    checkFormat(text);
    checkTemplate(text);
    return 0;
}
