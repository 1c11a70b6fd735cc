// The pick-list string on any text: what pickListKeys, isPickListString and pickListToString say
// of it must agree, keys survive the round trip, and the database reads the same keys from the
// string the report binds (the membership test of the reports runs json_each over it).
#include "dataset.h"
#include "errors.h"
#include "fuzzing.h"
#include "pesquisalista.h"
#include "reportsql.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

const QString kConnection = QStringLiteral("fuzz-picklist");

QString showKeys(const QStringList &keys)
{
    QStringList shown;
    for (const QString &key : keys)
        shown << fuzzShow(key);
    return QLatin1Char('[') + shown.join(QLatin1String(", ")) + QLatin1Char(']');
}

// Keys read from a database are valid Unicode without NUL (PostgreSQL's text cannot hold one);
// a JSON escape can give either, which the database reads otherwise (a replacement character,
// or the text cut at the NUL).
bool validText(const QStringList &keys)
{
    for (const QString &key : keys)
        if (!key.isValidUtf16() || key.contains(QChar(0)))
            return false;
    return true;
}

// The keys SQLite reads from a pick-list string, in order; false when it cannot read it.
bool sqliteKeys(const QString &list, QStringList *keys)
{
    QSqlQuery query(QSqlDatabase::database(kConnection, false));
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT value, type FROM json_each(?) ORDER BY key")))
        fuzzFailure("prepare", query.lastError().text());
    query.addBindValue(list);
    if (!query.exec())
        return false;
    while (query.next()) {
        if (query.value(1).toString() != QLatin1String("text"))
            return false;
        *keys << query.value(0).toString();
    }
    return true;
}

// The value the report binds for a list parameter holding the text, or false when refused.
bool boundList(const QString &list, QString *bound)
{
    TParam param(QStringLiteral("P_LISTA"));
    param.SetAsString(list);
    try {
        *bound = reportBindValue(&param, SqlDialect::SQLite, false, true).toString();
        return true;
    } catch (const EAppError &) {
        return false;
    }
}

void checkRoundTrip(const QStringList &keys)
{
    const QString list = pickListToString(keys);
    const QString what = showKeys(keys) + QStringLiteral(" -> ") + fuzzShow(list);
    if (keys.isEmpty()) {
        FUZZ_CHECK(list.isEmpty(), what); // nothing picked is the empty text
        return;
    }
    FUZZ_CHECK(!list.isEmpty(), what);
    FUZZ_CHECK(isPickListString(list), what);
    FUZZ_CHECK(pickListKeys(list) == keys, what);
    QString bound;
    FUZZ_CHECK(boundList(list, &bound) && bound == list, what);
    if (!validText(keys))
        return;
    QStringList fromDb;
    FUZZ_CHECK(sqliteKeys(list, &fromDb), what);
    FUZZ_CHECK(fromDb == keys, what + QStringLiteral(" read back as ") + showKeys(fromDb));
}

void checkAnyText(const QString &text)
{
    const bool wellFormed = isPickListString(text);
    const QStringList keys = pickListKeys(text);
    const QString what = fuzzShow(text) + QStringLiteral(" -> ") + showKeys(keys);
    FUZZ_CHECK(wellFormed || keys.isEmpty(), what); // a malformed string holds no key
    FUZZ_CHECK(!wellFormed || text.isEmpty() == keys.isEmpty(), what); // never "[]"
    QString bound;
    FUZZ_CHECK(boundList(text, &bound) == wellFormed, what); // the report refuses what is not one
    if (!wellFormed || keys.isEmpty() || !validText(keys))
        return;
    // What the report binds is what the database reads as the same keys.
    QStringList fromDb;
    FUZZ_CHECK(sqliteKeys(bound, &fromDb), what + QStringLiteral(": SQLite cannot read it"));
    FUZZ_CHECK(fromDb == keys, what + QStringLiteral(", SQLite reads ") + showKeys(fromDb));
    checkRoundTrip(keys);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The SQL drivers are plugins, found through the application object.
    static QCoreApplication app(*argc, *argv);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (!db.open())
        fuzzFailure("SQLite opens", db.lastError().text());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    checkAnyText(text);
    // The same input as keys, one per line.
    QStringList keys = text.split(QLatin1Char('\n'));
    if (text.isEmpty())
        keys.clear();
    checkRoundTrip(keys);
    return 0;
}
