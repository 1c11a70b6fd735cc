// The demo database and the generator: schema and demo rows load on SQLite and PostgreSQL,
// registration numbers carry valid check digits, and dbgen writes consistent data sets.

#include "mask.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

bool allDigits(const QString &s)
{
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !s.isEmpty();
}

int digitAt(const QString &s, int i)
{
    return s.at(i).unicode() - '0';
}

// CPF: two check digits, each (sum of digits times weights from n+1 down to 2) * 10 mod 11,
// 10 counting as 0; a number of one repeated digit is never valid.
bool validCpf(const QString &s)
{
    if (s.size() != 11 || !allDigits(s) || s.count(s.at(0)) == 11)
        return false;
    for (int n = 9; n <= 10; ++n) {
        int sum = 0;
        for (int i = 0; i < n; ++i)
            sum += digitAt(s, i) * (n + 1 - i);
        if ((sum * 10) % 11 % 10 != digitAt(s, n))
            return false;
    }
    return true;
}

// CNPJ: two check digits with weights 5..2,9..2 and 6..2,9..2; a remainder below 2 gives 0.
bool validCnpj(const QString &s)
{
    if (s.size() != 14 || !allDigits(s) || s.count(s.at(0)) == 14)
        return false;
    const int w1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    const int w2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digitAt(s, i) * w1[i];
    const int d1 = sum % 11 < 2 ? 0 : 11 - sum % 11;
    sum = 0;
    for (int i = 0; i < 13; ++i)
        sum += digitAt(s, i) * w2[i];
    const int d2 = sum % 11 < 2 ? 0 : 11 - sum % 11;
    return d1 == digitAt(s, 12) && d2 == digitAt(s, 13);
}

QList<QStringList> rows(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw EAppError(q.lastError().text() + QLatin1Char('\n') + sql);
    QList<QStringList> result;
    while (q.next()) {
        QStringList row;
        for (int c = 0; c < q.record().count(); ++c)
            row << TField::valueText(q.value(c));
        result << row;
    }
    return result;
}

qint64 scalar(QSqlDatabase db, const QString &sql)
{
    return rows(db, sql).value(0).value(0).toLongLong();
}

const QStringList kTables = {"FILIAL",  "TIPOEVENTO", "TIPOSERVEVEN", "FORNECEDOR",
                             "CLIENTE", "PRODUTO",    "ORCAEVENTO",   "ITORCAEVENTO"};

QMap<QString, qint64> counts(QSqlDatabase db)
{
    QMap<QString, qint64> c;
    for (const QString &t : kTables)
        c[t] = scalar(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(t));
    return c;
}

// What every data set of this schema must hold, demo or generated.
void checkConsistency(QSqlDatabase db)
{
    for (const auto &table : {std::pair{"FORNECEDOR", "FORN"}, std::pair{"CLIENTE", "CLIE"}}) {
        const QString suffix = QString::fromLatin1(table.second);
        const QList<QStringList> docs =
            rows(db, QStringLiteral("SELECT IDTPIJUR%1, NRINSJUR%1 FROM %2")
                         .arg(suffix, QString::fromLatin1(table.first)));
        QVERIFY(!docs.isEmpty());
        QSet<QString> types;
        for (const QStringList &d : docs) {
            types << d.at(0);
            if (d.at(0) == QLatin1String("F"))
                QVERIFY2(validCpf(d.at(1)), qPrintable(d.join(QLatin1Char(' '))));
            else if (d.at(0) == QLatin1String("J"))
                QVERIFY2(validCnpj(d.at(1)), qPrintable(d.join(QLatin1Char(' '))));
            else
                QFAIL(qPrintable(QStringLiteral("tipo de pessoa '%1'").arg(d.at(0))));
        }
        QCOMPARE(types, (QSet<QString>{"F", "J"}));
    }

    // Tree codes of group, subgroup and item, shown as 9.99.999.
    const QRegularExpression shown(QStringLiteral("^\\d\\.\\d\\d\\.\\d\\d\\d$"));
    for (const QStringList &p : rows(db, QStringLiteral("SELECT CDARVPROD FROM PRODUTO"))) {
        QVERIFY2(p.first().size() == 6 && allDigits(p.first()), qPrintable(p.first()));
        const QString text = FormatMaskText(DBPict(TPictType::ptArvProd), p.first());
        QVERIFY2(shown.match(text).hasMatch(), qPrintable(text));
    }

    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE LENGTH(CDFILIAL) <> 4")),
             0);
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM ORCAEVENTO WHERE "
                                       "LENGTH(NRORCAEVENTO) <> 10")),
             0);
    // Every budget of 2026, every budget with items, every item of a budget.
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM ORCAEVENTO WHERE DTEVENTO < "
                                       "'2026-01-01' OR DTEVENTO > '2026-12-31'")),
             0);
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM ORCAEVENTO O WHERE NOT EXISTS "
                                       "(SELECT 1 FROM ITORCAEVENTO I WHERE I.CDFILIAL = "
                                       "O.CDFILIAL AND I.NRORCAEVENTO = O.NRORCAEVENTO)")),
             0);
    // The joins of the report find every item's lookups.
    const qint64 items = scalar(db, QStringLiteral("SELECT COUNT(*) FROM ITORCAEVENTO"));
    QCOMPARE(scalar(db, QStringLiteral(
                            "SELECT COUNT(*) FROM ITORCAEVENTO I "
                            "JOIN ORCAEVENTO O ON O.CDFILIAL = I.CDFILIAL AND O.NRORCAEVENTO = "
                            "I.NRORCAEVENTO JOIN FILIAL F ON F.CDFILIAL = O.CDFILIAL "
                            "JOIN CLIENTE C ON C.CDCLIENTE = O.CDCLIENTE "
                            "JOIN TIPOEVENTO E ON E.CDTIPOEVENTO = O.CDTIPOEVENTO "
                            "JOIN TIPOSERVEVEN S ON S.CDTPSERVEVEN = I.CDTPSERVEVEN "
                            "JOIN FORNECEDOR N ON N.CDFORNECED = I.CDFORNECED "
                            "JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO")),
             items);
}

QString dbgenPath()
{
    return QDir(moduleDir()).filePath(QStringLiteral("dbgen"));
}

// Runs the generator; its exit code and what it wrote to stderr.
int runDbgen(const QStringList &arguments, QString *errors = nullptr)
{
    QProcess process;
    process.start(dbgenPath(), arguments);
    if (!process.waitForFinished(40000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (errors)
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QStringList pgArguments(const TdtmDBGeral::Settings &s)
{
    return {QStringLiteral("--driver"),   QStringLiteral("QPSQL"),
            QStringLiteral("--host"),     s.host,
            QStringLiteral("--port"),     QString::number(s.port),
            QStringLiteral("--user"),     s.user,
            QStringLiteral("--database"), s.database};
}

} // namespace

class TestDemoDb : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setDtmDBGeral(nullptr); }

    void documentCheckDigits_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("cpf");
        QTest::addColumn<bool>("valid");
        QTest::newRow("CPF") << "52998224725" << true << true;
        QTest::newRow("CPF 2") << "11144477735" << true << true;
        QTest::newRow("CPF wrong last digit") << "52998224724" << true << false;
        QTest::newRow("CPF wrong first check digit") << "52998224735" << true << false;
        QTest::newRow("CPF one digit repeated") << "11111111111" << true << false;
        QTest::newRow("CPF with dots") << "529.982.247-25" << true << false;
        QTest::newRow("CNPJ") << "11222333000181" << false << true;
        QTest::newRow("CNPJ 2") << "11444777000161" << false << true;
        QTest::newRow("CNPJ wrong last digit") << "11222333000180" << false << false;
        QTest::newRow("CNPJ short") << "1122233300018" << false << false;
    }
    void documentCheckDigits()
    {
        QFETCH(QString, number);
        QFETCH(bool, cpf);
        QFETCH(bool, valid);
        QCOMPARE(cpf ? validCpf(number) : validCnpj(number), valid);
    }

    void demoOnSqlite()
    {
        TempSqliteDb db;
        db.execFile(sourcePath(QStringLiteral("db/demo.sql")));
        QSqlDatabase sql = db.dtm()->database();
        checkConsistency(sql);
        QVERIFY(rows(sql, QStringLiteral("PRAGMA foreign_key_check")).isEmpty());
        const QMap<QString, qint64> c = counts(sql);
        QVERIFY(c.value("FILIAL") >= 4);
        QVERIFY(c.value("ORCAEVENTO") >= 50);
        QVERIFY(c.value("ITORCAEVENTO") >= 250);
        // Dates are kept as 'YYYY-MM-DD' text, so they compare as dates.
        QVERIFY(rows(sql, QStringLiteral("SELECT DTEVENTO FROM ORCAEVENTO"))
                    .first()
                    .first()
                    .contains(QRegularExpression(QStringLiteral("^2026-\\d\\d-\\d\\d$"))));
    }

    void demoOnPostgres()
    {
        REQUIRE_PG_OR_SKIP();
        TdtmDBGeral pg;
        QVERIFY2(pg.open(PgServer::freshDatabase(QStringLiteral("tst_demodb"))),
                 qPrintable(pg.lastError()));
        for (const char *file : {"db/schema.sql", "db/demo.sql"}) {
            QFile f(sourcePath(QString::fromLatin1(file)));
            QVERIFY(f.open(QIODevice::ReadOnly));
            // PostgreSQL enforces the column sizes and the foreign keys while loading.
            execSqlStatements(pg.database(), QString::fromUtf8(f.readAll()));
        }
        checkConsistency(pg.database());

        TempSqliteDb sqlite;
        sqlite.execFile(sourcePath(QStringLiteral("db/demo.sql")));
        QCOMPARE(counts(pg.database()), counts(sqlite.dtm()->database()));
        QCOMPARE(scalar(pg.database(),
                        QStringLiteral("SELECT COUNT(*) FROM pg_constraint WHERE contype = 'f'")),
                 7);
    }

    void generatorOnSqlite()
    {
        QVERIFY2(QFile::exists(dbgenPath()), qPrintable(dbgenPath()));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("gen.db"));
        const QStringList args = {QStringLiteral("--driver"),    QStringLiteral("QSQLITE"),
                                  QStringLiteral("--database"),  file,
                                  QStringLiteral("--suppliers"), QStringLiteral("3000"),
                                  QStringLiteral("--clients"),   QStringLiteral("700"),
                                  QStringLiteral("--products"),  QStringLiteral("1500"),
                                  QStringLiteral("--items"),     QStringLiteral("2000")};
        QString errors;
        QCOMPARE(runDbgen(args, &errors), 0);
        {
            TdtmDBGeral dtm;
            TdtmDBGeral::Settings s;
            s.database = file;
            QVERIFY(dtm.open(s));
            const QMap<QString, qint64> c = counts(dtm.database());
            QCOMPARE(c.value("FORNECEDOR"), 3000);
            QCOMPARE(c.value("CLIENTE"), 700);
            QCOMPARE(c.value("PRODUTO"), 1500);
            QCOMPARE(c.value("ITORCAEVENTO"), 2000);
            QCOMPARE(c.value("ORCAEVENTO"), 400); // a fifth of the items
            checkConsistency(dtm.database());
            QVERIFY(rows(dtm.database(), QStringLiteral("PRAGMA foreign_key_check")).isEmpty());
        }
        // An existing database is kept unless replacing is asked for.
        QVERIFY(runDbgen(args, &errors) != 0);
        QVERIFY2(errors.contains(QStringLiteral("--replace")), qPrintable(errors));
        QCOMPARE(runDbgen(QStringList{QStringLiteral("--driver"), QStringLiteral("QSQLITE"),
                                      QStringLiteral("--database"), file, QStringLiteral("--demo"),
                                      QStringLiteral("--replace")},
                          &errors),
                 0);
        TdtmDBGeral dtm;
        TdtmDBGeral::Settings s;
        s.database = file;
        QVERIFY(dtm.open(s));
        TempSqliteDb demo;
        demo.execFile(sourcePath(QStringLiteral("db/demo.sql")));
        QCOMPARE(counts(dtm.database()), counts(demo.dtm()->database()));
    }

    void generatorOnPostgres()
    {
        REQUIRE_PG_OR_SKIP();
        const TdtmDBGeral::Settings s = PgServer::freshDatabase(QStringLiteral("tst_demodb_gen"));
        QStringList args = pgArguments(s);
        args << QStringLiteral("--suppliers") << QStringLiteral("2500") << QStringLiteral("--items")
             << QStringLiteral("1200") << QStringLiteral("--budgets") << QStringLiteral("100");
        QString errors;
        QCOMPARE(runDbgen(args, &errors), 0);
        TdtmDBGeral pg;
        QVERIFY(pg.open(s));
        const QMap<QString, qint64> c = counts(pg.database());
        QCOMPARE(c.value("FORNECEDOR"), 2500);
        QCOMPARE(c.value("ITORCAEVENTO"), 1200);
        QCOMPARE(c.value("ORCAEVENTO"), 100);
        checkConsistency(pg.database());
        // The foreign keys set aside for the load are back.
        QCOMPARE(scalar(pg.database(),
                        QStringLiteral("SELECT COUNT(*) FROM pg_constraint WHERE contype = 'f'")),
                 7);
    }
};

QTEST_MAIN(TestDemoDb)
#include "tst_demodb.moc"
