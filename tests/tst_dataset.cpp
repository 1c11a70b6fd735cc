// Data access of the component library: parameters taken from SQL text, fields, queries read a
// page at a time by key, the shared data module and its reconnection, on SQLite and on the
// PostgreSQL test server.

#include "dataset.h"
#include "errors.h"
#include "testsupport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <memory>

namespace {

struct QuerySpec
{
    QStringList sql;
    QStringList fields;
    QStringList hidden; // fields read but not shown
    QStringList pagingKey;
};

// A query built the way a stored layout builds it: SQL lines, string fields in order.
std::unique_ptr<TADOIBQuery> makeQuery(const QuerySpec &lookup, const QString &name = {})
{
    auto query = std::make_unique<TADOIBQuery>();
    query->setObjectName(name.isEmpty() ? QStringLiteral("qryTeste") : name);
    query->setSQL(lookup.sql);
    query->setPagingKey(lookup.pagingKey);
    for (const QString &fieldName : lookup.fields) {
        auto *field = new TADOIBStringField(query.get());
        field->setObjectName(query->objectName() + fieldName);
        field->setFieldName(fieldName);
        field->setVisible(!lookup.hidden.contains(fieldName));
        query->addField(field);
    }
    return query;
}

// The seven lookups of the supplier report's criteria screen, SQL line by line.
QMap<QString, QuerySpec> screenLookups()
{
    QMap<QString, QuerySpec> q;
    q[QStringLiteral("qryVDFilial")] = {
        {"SELECT CDFILIAL, NMFILIAL", "  FROM FILIAL", " WHERE CDFILIAL = :P_CDFILIAL", " "},
        {"CDFILIAL", "NMFILIAL"},
        {},
        {"CDFILIAL"}};
    q[QStringLiteral("qryPesqFilial")] = {
        {"SELECT CDFILIAL, NMFILIAL", "  FROM FILIAL", " ORDER BY CDFILIAL "},
        {"CDFILIAL", "NMFILIAL"},
        {},
        {"CDFILIAL"}};
    q[QStringLiteral("qryPesqEvento")] = {{"SELECT CDTIPOEVENTO, NMTIPOEVENTO", "  FROM TIPOEVENTO",
                                           "ORDER BY", "   CDTIPOEVENTO,", "   NMTIPOEVENTO", " "},
                                          {"CDTIPOEVENTO", "NMTIPOEVENTO"},
                                          {},
                                          {"CDTIPOEVENTO", "NMTIPOEVENTO"}};
    q[QStringLiteral("qryPesqServico")] = {{"SELECT CDTPSERVEVEN , NMTPSERVEVEN ",
                                            "   FROM TIPOSERVEVEN", "ORDER BY ",
                                            "CDTPSERVEVEN, NMTPSERVEVEN"},
                                           {"CDTPSERVEVEN", "NMTPSERVEVEN"},
                                           {},
                                           {"CDTPSERVEVEN", "NMTPSERVEVEN"}};
    q[QStringLiteral("qryPesqFornecedor")] = {
        {"SELECT CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, NMFANTFORN",
         "  FROM FORNECEDOR", "ORDER BY CDFORNECED", " "},
        {"CDFORNECED", "IDTPIJURFORN", "NRINSJURFORN", "NMRAZSOCFORN", "NMFANTFORN"},
        {"CDFORNECED", "IDTPIJURFORN"},
        {"CDFORNECED"}};
    q[QStringLiteral("qryPesqCliente")] = {
        {"SELECT CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE, NMFANTCLIE", "  FROM CLIENTE",
         "ORDER BY CDCLIENTE"},
        {"CDCLIENTE", "IDTPIJURCLIE", "NRINSJURCLIE", "NMRAZSOCCLIE", "NMFANTCLIE"},
        {"CDCLIENTE", "IDTPIJURCLIE"},
        {"CDCLIENTE"}};
    q[QStringLiteral("qryProduto")] = {
        {"SELECT CDARVPROD, NMPRODUTO, CDPRODUTO", "  FROM PRODUTO", "ORDER BY CDARVPROD", ""},
        {"CDARVPROD", "NMPRODUTO", "CDPRODUTO"},
        {"CDPRODUTO"},
        {"CDARVPROD", "CDPRODUTO"}};
    return q;
}

// Every row of a query, read with Open and Next, as texts of its fields.
QList<QStringList> readAll(TADOIBQuery *query)
{
    QList<QStringList> rows;
    query->Open();
    for (; !query->Eof(); query->Next()) {
        QStringList texts;
        for (TField *f : query->Fields())
            texts << f->AsString();
        rows << texts;
    }
    return rows;
}

// The rows of an SQL text run directly on the connection (trailing blanks trimmed).
QList<QStringList> directRows(QSqlDatabase db, const QString &sql,
                              const QList<QPair<QString, QVariant>> &bindings = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw EAppError(q.lastError().text());
    for (const auto &b : bindings)
        q.bindValue(b.first, b.second);
    if (!q.exec())
        throw EAppError(q.lastError().text());
    QList<QStringList> rows;
    while (q.next()) {
        QStringList texts;
        for (int c = 0; c < q.record().count(); ++c)
            texts << TField::valueText(q.value(c));
        rows << texts;
    }
    return rows;
}

QString rowText(const TRow &row, int column)
{
    return TField::valueText(row.value(column));
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private:
    // The demo database on the PostgreSQL test server, created once for the test run.
    TdtmDBGeral *pgDemo()
    {
        if (!m_pgDemo) {
            const TdtmDBGeral::Settings s = PgServer::freshDatabase(QStringLiteral("tst_dataset"));
            m_pgDemo = std::make_unique<TdtmDBGeral>();
            if (!m_pgDemo->open(s))
                throw EAppError(m_pgDemo->lastError());
            for (const char *file : {"db/schema.sql", "db/demo.sql"}) {
                QFile f(sourcePath(QString::fromLatin1(file)));
                if (!f.open(QIODevice::ReadOnly))
                    throw EAppError(f.fileName());
                execSqlStatements(m_pgDemo->database(), QString::fromUtf8(f.readAll()));
            }
        }
        return m_pgDemo.get();
    }
    std::unique_ptr<TdtmDBGeral> m_pgDemo;

private slots:
    void cleanup() { setDtmDBGeral(nullptr); }
    void cleanupTestCase() { m_pgDemo.reset(); }

    // --- Parameters ---------------------------------------------------------------------

    void parseNames_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("in order of first use")
            << "SELECT * FROM T WHERE B = :P_B AND A = :P_A" << QStringList{"P_B", "P_A"};
        QTest::newRow("repeated, other case")
            << "WHERE A = :P1 OR A = :p1 OR B = :P2" << QStringList{"P1", "P2"};
        QTest::newRow("similar names stay apart")
            << "WHERE X = :P_TTIPOEVENTO AND Y IN (:P_TIPOEVENTO)"
            << QStringList{"P_TTIPOEVENTO", "P_TIPOEVENTO"};
        QTest::newRow("string literal") << "WHERE A = ':NAO' AND B = :SIM" << QStringList{"SIM"};
        QTest::newRow("doubled quote inside literal")
            << "WHERE A = 'd''agua :NAO' AND B = :SIM" << QStringList{"SIM"};
        QTest::newRow("quoted identifier")
            << "SELECT \"a:NAO\" FROM T WHERE C = :SIM" << QStringList{"SIM"};
        QTest::newRow("line comment")
            << "SELECT 1 -- filtro :NAO\nFROM T WHERE A = :SIM" << QStringList{"SIM"};
        QTest::newRow("block comment")
            << "SELECT /* :NAO\n :NAO2 */ A FROM T WHERE A = :SIM" << QStringList{"SIM"};
        QTest::newRow("casts") << "WHERE CAST(:P AS TEXT) = a::text AND b = :Q::integer"
                               << QStringList{"P", "Q"};
        QTest::newRow("json membership")
            << "WHERE C IN (SELECT json_array_elements_text(CAST(NULLIF(:P_CLIENTE, '') AS json)))"
            << QStringList{"P_CLIENTE"};
        QTest::newRow("none") << "SELECT CDFILIAL FROM FILIAL" << QStringList{};
        QTest::newRow("unterminated literal") << "SELECT ':NAO" << QStringList{};
        QTest::newRow("colon without name")
            << "SELECT a FROM t WHERE b = ': ' OR c = :1" << QStringList{};
    }
    void parseNames()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QCOMPARE(TParams::parseNames(sql), names);
    }

    void paramsFollowTheSqlAndKeepValues()
    {
        TParams params;
        params.setFromSql(QStringLiteral("WHERE A = :P1 AND B = :P2"));
        params.ParamByName(QStringLiteral("p1"))->SetAsString(QStringLiteral("x"));
        TParam *p1 = params.FindParam(QStringLiteral("P1"));
        params.setFromSql(QStringLiteral("WHERE C = :P3 AND A = :P1"));
        QCOMPARE(params.names(), (QStringList{"P3", "P1"}));
        QCOMPARE(params.FindParam(QStringLiteral("P1")), p1);
        QCOMPARE(p1->AsString(), QStringLiteral("x"));
        QVERIFY(!params.FindParam(QStringLiteral("P3"))->isAssigned());
        QVERIFY(!params.FindParam(QStringLiteral("P2")));

        QVERIFY(ExistParam(&params, QStringLiteral("p3")));
        QVERIFY(!ExistParam(&params, QStringLiteral("P2")));
        QVERIFY(!ExistParam(nullptr, QStringLiteral("P1")));
        try {
            params.ParamByName(QStringLiteral("P_NAO_HA"));
            QFAIL("an unknown parameter must raise");
        } catch (const EAppError &e) {
            QVERIFY(e.message().contains(QStringLiteral("P_NAO_HA")));
        }

        // A query takes its parameters from its SQL lines.
        TADOIBQuery query;
        query.setSQL({QStringLiteral("SELECT CDFILIAL FROM FILIAL"),
                      QStringLiteral(" WHERE CDFILIAL = :P_CDFILIAL")});
        QCOMPARE(query.Params()->names(), QStringList{"P_CDFILIAL"});
    }

    void paramSetters_data()
    {
        QTest::addColumn<int>("setter"); // 0 AsString, 1 AsVariant, 2 AsDateTime
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("dataType");
        QTest::addColumn<QString>("asString");
        QTest::addColumn<double>("asDateTime");
        const int s = int(TFieldType::ftString);
        QTest::newRow("text") << 0 << QVariant("0001") << s << "0001" << 0.0;
        QTest::newRow("null text is the empty text") << 0 << QVariant(QString()) << s << "" << 0.0;
        QTest::newRow("variant text") << 1 << QVariant("T") << s << "T" << 0.0;
        QTest::newRow("variant empty text") << 1 << QVariant(QString()) << s << "" << 0.0;
        QTest::newRow("variant integer")
            << 1 << QVariant(42) << int(TFieldType::ftInteger) << "42" << 42.0;
        QTest::newRow("variant float")
            << 1 << QVariant(2.5) << int(TFieldType::ftFloat) << "2.5" << 2.5;
        QTest::newRow("variant date") << 1 << QVariant(QDate(2000, 1, 1))
                                      << int(TFieldType::ftDateTime) << "01/01/2000" << 36526.0;
        QTest::newRow("date-time zero")
            << 2 << QVariant(0.0) << int(TFieldType::ftDateTime) << "30/12/1899" << 0.0;
        QTest::newRow("date-time with time")
            << 2 << QVariant(46096.5) << int(TFieldType::ftDateTime) << "15/03/2026 12:00:00"
            << 46096.5;
    }
    void paramSetters()
    {
        QFETCH(int, setter);
        QFETCH(QVariant, value);
        QFETCH(int, dataType);
        QFETCH(QString, asString);
        QFETCH(double, asDateTime);
        TParam p(QStringLiteral("P"));
        QVERIFY(!p.isAssigned());
        if (setter == 0)
            p.SetAsString(value.toString());
        else if (setter == 1)
            p.SetAsVariant(value);
        else
            p.SetAsDateTime(value.toDouble());
        QVERIFY(p.isAssigned());
        QCOMPARE(int(p.DataType()), dataType);
        QCOMPARE(p.AsString(), asString);
        QVERIFY(!p.AsString().isNull());
        if (dataType == int(TFieldType::ftString))
            QVERIFY(!p.AsVariant().toString().isNull()); // never sent as NULL
        else
            QCOMPARE(p.AsDateTime(), asDateTime);
        p.clear();
        QVERIFY(!p.isAssigned());
    }

    void dayCounts()
    {
        QCOMPARE(dateToDateTime(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(dateToDateTime(QDate(1900, 1, 1)), 2.0);
        QCOMPARE(dateToDateTime(QDate(2026, 3, 15)), 46096.0);
        QCOMPARE(dateTimeToDate(46096.75), QDate(2026, 3, 15));
        QCOMPARE(dateTimeToDate(-1.0), QDate(1899, 12, 29));
    }

    // --- Fields ---------------------------------------------------------------------------

    void fieldsByNameAndTrimmed()
    {
        TempSqliteDb db;
        db.exec(
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz   ')"));
        auto query = makeQuery({{"select cdfilial, nmfilial from filial"},
                                {"CDFILIAL", "NMFILIAL"},
                                {},
                                {"CDFILIAL"}});
        query->Open();
        TField *name = query->FieldByName(QStringLiteral("nmFilial"));
        QCOMPARE(name, query->FindField(QStringLiteral("NMFILIAL")));
        QCOMPARE(name->AsString(), QStringLiteral("Matriz"));
        QCOMPARE(name->DataSet(), query.get());
        QVERIFY(!query->FindField(QStringLiteral("NMFANTFORN")));
        // A hidden field is read but not searched.
        query->FieldByName(QStringLiteral("CDFILIAL"))->setVisible(false);
        QVERIFY(query->Query()->fetchPage(nullptr, 10, QStringLiteral("0001")).isEmpty());
        QCOMPARE(query->Query()->fetchColumn(QStringLiteral("cdfilial"), QStringLiteral("MATRIZ")),
                 QStringList{"0001"});
        QVERIFY_THROWS_EXCEPTION(EAppError, query->FieldByName(QStringLiteral("NMFANTFORN")));
    }

    void fieldMissingFromResultIsAnError()
    {
        TempSqliteDb db;
        db.exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'M')"));
        auto query = makeQuery({{"SELECT CDFILIAL FROM FILIAL"}, {"CDFILIAL", "NMFILIAL"}, {}, {}});
        try {
            query->Open();
            QFAIL("a field that the result lacks must raise");
        } catch (const EAppError &e) {
            QVERIFY(e.message().contains(QStringLiteral("NMFILIAL")));
        }
        QVERIFY(!query->Active());
    }

    void displayText_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("handler");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "" << false << "101001"
                               << "101001";
        QTest::newRow("trailing blanks") << "" << false << "AB   "
                                         << "AB";
        QTest::newRow("edit mask") << "0.00.000;0;_" << false << "101001"
                                   << "1.01.001";
        QTest::newRow("handler wins over mask") << "0.00.000;0;_" << true << "101001"
                                                << "<101001>";
        QTest::newRow("handler gets the trimmed value") << "" << true << "7  "
                                                        << "<7>";
    }
    void displayText()
    {
        QFETCH(QString, mask);
        QFETCH(bool, handler);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        TADOIBStringField field;
        field.setFieldName(QStringLiteral("CDARVPROD"));
        field.setEditMask(mask);
        if (handler) {
            QCOMPARE(field.bindEvent(
                         QStringLiteral("OnGetText"),
                         std::any(TFieldGetTextEvent([](TField *, QString &text, bool display) {
                             QVERIFY(display);
                             text = QLatin1Char('<') + text + QLatin1Char('>');
                         }))),
                     TEventSource::BindResult::Bound);
        }
        QCOMPARE(field.displayText(value), expected);
        QCOMPARE(field.bindEvent(QStringLiteral("OnChange"), std::any()),
                 TEventSource::BindResult::NoSuchEvent);
    }

    // --- Queries over a small fixture ------------------------------------------------------

    void openIsEmptyNext()
    {
        TempSqliteDb db;
        db.exec(
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Campinas'), "
                           "('0001', 'Matriz'), ('', 'Sem código'), ('0003', 'Santos')"));
        const QMap<QString, QuerySpec> specs = screenLookups();

        auto check = makeQuery(specs.value(QStringLiteral("qryVDFilial")));
        QVERIFY(check->IsEmpty()); // closed
        check->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0001"));
        check->Open();
        QVERIFY(check->Active());
        QVERIFY(!check->IsEmpty());
        QCOMPARE(check->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
                 QStringLiteral("Matriz"));
        check->Next();
        QVERIFY(check->Eof());

        // The empty text is a value, not NULL: it finds the row whose code is empty.
        check->Close();
        check->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QString());
        check->Open();
        QVERIFY(!check->IsEmpty());
        QCOMPARE(check->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
                 QStringLiteral("Sem código"));

        check->Close();
        check->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("9999"));
        check->Open();
        QVERIFY(check->IsEmpty());
        QVERIFY(check->Eof());
        QCOMPARE(check->FieldByName(QStringLiteral("NMFILIAL"))->AsString(), QString());

        // Opening an open query does nothing: it keeps the rows it read.
        check->Close();
        check->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0003"));
        check->Open();
        db.exec(QStringLiteral("DELETE FROM FILIAL WHERE CDFILIAL = '0003'"));
        check->Open();
        QVERIFY(!check->IsEmpty());
        QCOMPARE(check->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
                 QStringLiteral("Santos"));

        auto all = makeQuery(specs.value(QStringLiteral("qryPesqFilial")));
        QCOMPARE(
            readAll(all.get()),
            (QList<QStringList>{{"", "Sem código"}, {"0001", "Matriz"}, {"0002", "Campinas"}}));
        all->First();
        QCOMPARE(all->FieldByName(QStringLiteral("CDFILIAL"))->AsString(), QString());
        QVERIFY(!all->Eof());

        // The dataset makes a row current, as a search does after a pick.
        const QList<TRow> page = all->Query()->fetchPage(nullptr, 10);
        all->Query()->setCurrentRow(page.at(2));
        QCOMPARE(all->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
                 QStringLiteral("Campinas"));
        QCOMPARE(all->Query()->query(), all.get());
    }

    void queryWithoutFieldsShowsItsColumns()
    {
        TempSqliteDb db;
        db.exec(
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        auto query = makeQuery({{"SELECT CDFILIAL, NMFILIAL FROM FILIAL"}, {}, {}, {}});
        query->Open();
        QCOMPARE(query->Fields().size(), 2);
        QCOMPARE(query->FieldByName(QStringLiteral("nmfilial"))->AsString(),
                 QStringLiteral("Matriz"));
        query->Close();
        QCOMPARE(query->Fields().size(), 0);
    }

    void pagesByTwoColumnKey()
    {
        // Many products share a tree code: the pages must neither skip nor repeat any of them.
        TempSqliteDb db;
        db.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
            "INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) "
            "SELECT printf('P%03d', 51 - i), CASE WHEN i <= 40 THEN '101001' ELSE '101002' END, "
            "'Produto ' || i FROM n"));
        auto query = makeQuery(screenLookups().value(QStringLiteral("qryProduto")));
        query->setPageSize(7);
        const QList<QStringList> rows = readAll(query.get());
        QCOMPARE(rows,
                 directRows(db.dtm()->database(),
                            QStringLiteral("SELECT CDARVPROD, NMPRODUTO, CDPRODUTO FROM PRODUTO "
                                           "ORDER BY CDARVPROD, CDPRODUTO")));
        QCOMPARE(rows.size(), 50);
        QVERIFY(query->loadedRowCount() <= 7);
    }

    void pagesWithoutKeyKeepTheStatementOrder()
    {
        TempSqliteDb db;
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 10) INSERT INTO FILIAL (CDFILIAL, NMFILIAL) "
                               "SELECT printf('%04d', i), 'Filial ' || (i % 3) FROM n"));
        auto query =
            makeQuery({{"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY NMFILIAL DESC, CDFILIAL"},
                       {"CDFILIAL", "NMFILIAL"},
                       {},
                       {}});
        query->setPageSize(3);
        QCOMPARE(
            readAll(query.get()),
            directRows(db.dtm()->database(), QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL "
                                                            "ORDER BY NMFILIAL DESC, CDFILIAL")));
    }

    // --- A million rows ---------------------------------------------------------------------

    void millionRowsPagedByKeyAndFiltered()
    {
        TempSqliteDb db;
        db.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
            "INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, "
            "NMFANTFORN) SELECT printf('%07d', i), CASE WHEN i % 3 = 0 THEN 'F' ELSE 'J' END, "
            "'', 'Fornecedor ' || i, 'Fantasia ' || i FROM n"));
        const auto rename = [&](int code, const QString &name) {
            QSqlQuery update(db.dtm()->database());
            update.prepare(QStringLiteral(
                "UPDATE FORNECEDOR SET NMRAZSOCFORN = :NOME WHERE CDFORNECED = :CODIGO"));
            update.bindValue(QStringLiteral(":NOME"), name);
            update.bindValue(QStringLiteral(":CODIGO"),
                             QStringLiteral("%1").arg(code, 7, 10, QLatin1Char('0')));
            QVERIFY2(update.exec() && update.numRowsAffected() == 1,
                     qPrintable(update.lastError().text()));
        };
        rename(1000, QStringLiteral("Desconto 50% Ltda"));
        rename(5, QStringLiteral("Desconto 500 Ltda")); // what an unescaped % would find
        rename(2000, QStringLiteral("Festa_Boa Eventos"));
        rename(6, QStringLiteral("FestaXBoa Eventos")); // what an unescaped _ would find
        rename(3000, QStringLiteral("Barra\\Invertida"));
        rename(7, QStringLiteral("BarraInvertida"));
        rename(4000, QStringLiteral("JOÃO DAS FESTAS"));
        rename(8, QStringLiteral("Joxo das Festas"));

        auto query = makeQuery(screenLookups().value(QStringLiteral("qryPesqFornecedor")));
        query->Open();
        QVERIFY(!query->IsEmpty());
        QCOMPARE(query->loadedRowCount(), TADOIBQuery::DefaultPageSize);
        TField *code = query->FieldByName(QStringLiteral("CDFORNECED"));
        QCOMPARE(code->AsString(), QStringLiteral("0000001"));
        // Next crosses into the following pages, keeping one page in memory.
        for (int i = 0; i < 450; ++i)
            query->Next();
        QCOMPARE(code->AsString(), QStringLiteral("0000451"));
        QVERIFY(!query->Eof());
        QVERIFY(query->loadedRowCount() <= TADOIBQuery::DefaultPageSize);

        // A page starts right after the row given, found by key.
        TQueryDataset *dataset = query->Query();
        const TRow after{QStringLiteral("0500000"), {}, {}, {}, {}};
        const QList<TRow> page = dataset->fetchPage(&after, 3);
        QCOMPARE(page.size(), 3);
        QCOMPARE(rowText(page.at(0), 0), QStringLiteral("0500001"));
        QCOMPARE(rowText(page.at(2), 0), QStringLiteral("0500003"));
        const TRow last{QStringLiteral("1000000"), {}, {}, {}, {}};
        QVERIFY(dataset->fetchPage(&last, 3).isEmpty());

        // Filtering: the visible fields, without regard to case, the typed text literally. The
        // look-alikes come first in key order, so a wrong match shows as the first row.
        const auto firstMatch = [&](const QString &text) {
            const QList<TRow> rows = dataset->fetchPage(nullptr, 1, text);
            return rows.isEmpty() ? QString() : rowText(rows.first(), 0);
        };
        QCOMPARE(firstMatch(QStringLiteral("50%")), QStringLiteral("0001000"));
        QCOMPARE(firstMatch(QStringLiteral("a_b")), QStringLiteral("0002000"));
        QCOMPARE(firstMatch(QStringLiteral("a\\i")), QStringLiteral("0003000"));
        QCOMPARE(firstMatch(QStringLiteral("joão das")), QStringLiteral("0004000"));
        // "Select all" over a filter: every matching key, across the whole table.
        QCOMPARE(dataset->fetchColumn(QStringLiteral("CDFORNECED"), QStringLiteral("FESTAS")),
                 (QStringList{"0000008", "0004000"}));

        // A filtered page continues after the last row of the previous one.
        const QList<TRow> first = dataset->fetchPage(nullptr, 4, QStringLiteral("FORNECEDOR 4242"));
        QCOMPARE(first.size(), 4);
        QCOMPARE(rowText(first.at(0), 3), QStringLiteral("Fornecedor 4242"));
        const QList<TRow> second =
            dataset->fetchPage(&first.constLast(), 4, QStringLiteral("fornecedor 4242"));
        QCOMPARE(second.size(), 4);
        QVERIFY(rowText(second.at(0), 0) > rowText(first.at(3), 0));
        for (const TRow &row : first + second)
            QVERIFY(rowText(row, 3).startsWith(QStringLiteral("Fornecedor 4242")));
    }

    // --- The screen's lookups on both databases --------------------------------------------

    void lookupQueries_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("name");
        for (const char *backend : {"sqlite", "postgres"})
            for (const QString &name : screenLookups().keys())
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(backend, name)))
                    << QString::fromLatin1(backend) << name;
    }
    void lookupQueries()
    {
        QFETCH(QString, backend);
        QFETCH(QString, name);
        std::unique_ptr<TempSqliteDb> sqlite;
        TdtmDBGeral *dtm = nullptr;
        if (backend == QLatin1String("postgres")) {
            REQUIRE_PG_OR_SKIP();
            dtm = pgDemo();
            setDtmDBGeral(dtm);
        } else {
            sqlite = std::make_unique<TempSqliteDb>();
            sqlite->execFile(sourcePath(QStringLiteral("db/demo.sql")));
            dtm = sqlite->dtm();
        }
        const QuerySpec lookup = ::screenLookups().value(name);
        auto query = makeQuery(lookup, name);
        QList<QPair<QString, QVariant>> bindings;
        if (name == QLatin1String("qryVDFilial")) {
            query->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0001"));
            bindings << qMakePair(QStringLiteral(":P_CDFILIAL"), QVariant(QStringLiteral("0001")));
        }
        // Pages of four rows: every lookup of the demo data spans several pages.
        query->setPageSize(4);
        const QList<QStringList> paged = readAll(query.get());
        const QList<QStringList> direct =
            directRows(dtm->database(), lookup.sql.join(QLatin1Char('\n')), bindings);
        QVERIFY(!paged.isEmpty());
        QCOMPARE(paged, direct);
        if (name == QLatin1String("qryVDFilial"))
            QCOMPARE(paged, (QList<QStringList>{{"0001", "Matriz São Paulo"}}));
    }

    void filterAndCharOnPostgres()
    {
        REQUIRE_PG_OR_SKIP();
        TdtmDBGeral *dtm = pgDemo();
        setDtmDBGeral(dtm);
        // PostgreSQL's LIKE minds case and its CHAR comes back padded.
        execSqlStatements(dtm->database(),
                          QStringLiteral("CREATE TABLE TESTE_CHAR (CD CHAR(6) PRIMARY KEY, "
                                         "NM VARCHAR(40));\n"
                                         "INSERT INTO TESTE_CHAR VALUES ('A1', 'Desconto 50% "
                                         "Ltda'), ('A2', 'Desconto 500 Ltda'), "
                                         "('B1', 'JOÃO DAS FESTAS'), ('B2', 'Festa_Boa'), "
                                         "('B3', 'FestaXBoa');\n"));
        auto query =
            makeQuery({{"SELECT CD, NM FROM TESTE_CHAR ORDER BY CD"}, {"CD", "NM"}, {}, {"CD"}});
        query->setPageSize(2);
        const QList<QStringList> rows = readAll(query.get());
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.first().first(), QStringLiteral("A1"));
        TQueryDataset *dataset = query->Query();
        QCOMPARE(dataset->fetchColumn(QStringLiteral("CD"), QStringLiteral("50%")),
                 QStringList{"A1"});
        QCOMPARE(dataset->fetchColumn(QStringLiteral("CD"), QStringLiteral("joão")),
                 QStringList{"B1"});
        QCOMPARE(dataset->fetchColumn(QStringLiteral("cd"), QStringLiteral("a_b")),
                 QStringList{"B2"});
        // A padded key found again by the next page.
        const QList<TRow> page = dataset->fetchPage(nullptr, 1);
        QCOMPARE(dataset->fetchPage(&page.first(), 1).first().first().toString().trimmed(),
                 QStringLiteral("A2"));
    }

    void datesBindAsDays()
    {
        // A date parameter selects by day on both databases, whatever the time zone.
        QList<TdtmDBGeral *> databases;
        TempSqliteDb sqlite;
        sqlite.execFile(sourcePath(QStringLiteral("db/demo.sql")));
        databases << sqlite.dtm();
        if (PgServer::available())
            databases << pgDemo();
        for (TdtmDBGeral *dtm : databases) {
            setDtmDBGeral(dtm);
            const QList<QStringList> expected =
                directRows(dtm->database(), QStringLiteral("SELECT MIN(DTEVENTO) FROM ORCAEVENTO"));
            const QDate day = QDate::fromString(expected.first().first().left(10), Qt::ISODate);
            QVERIFY(day.isValid());
            auto query = makeQuery({{"SELECT CDFILIAL, NRORCAEVENTO FROM ORCAEVENTO",
                                     " WHERE DTEVENTO >= :P_DTINICIAL AND DTEVENTO <= :P_DTFINAL"},
                                    {"CDFILIAL", "NRORCAEVENTO"},
                                    {},
                                    {"CDFILIAL", "NRORCAEVENTO"}});
            query->ParamByName(QStringLiteral("P_DTINICIAL"))->SetAsDateTime(dateToDateTime(day));
            query->ParamByName(QStringLiteral("P_DTFINAL"))->SetAsDateTime(dateToDateTime(day));
            query->Open();
            QVERIFY2(!query->IsEmpty(), qPrintable(dtm->settings().driver));
        }
    }

    // --- The data module ------------------------------------------------------------------

    void reconnectsSqliteClosedUnderIt()
    {
        TempSqliteDb db;
        db.exec(
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        auto query = makeQuery(screenLookups().value(QStringLiteral("qryPesqFilial")));
        query->Open();
        query->Close();
        QSqlDatabase::database(db.dtm()->connectionName(), false).close();
        QVERIFY(!db.dtm()->isOpen());
        query->Open();
        QVERIFY(!query->IsEmpty());
        QVERIFY(db.dtm()->isOpen());
    }

    void reconnectsPostgresAfterTheBackendDied()
    {
        REQUIRE_PG_OR_SKIP();
        TdtmDBGeral dtm;
        QVERIFY2(dtm.open(PgServer::freshDatabase(QStringLiteral("tst_dataset_reconnect"))),
                 qPrintable(dtm.lastError()));
        setDtmDBGeral(&dtm);
        execSqlStatements(dtm.database(),
                          QStringLiteral("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, "
                                         "NMFILIAL VARCHAR(30));\n"
                                         "INSERT INTO FILIAL VALUES ('0001', 'Matriz');\n"));
        auto query = makeQuery(screenLookups().value(QStringLiteral("qryPesqFilial")));
        query->Open();
        query->Close();
        QSqlQuery pid(dtm.database());
        QVERIFY(pid.exec(QStringLiteral("SELECT pg_backend_pid()")) && pid.next());
        const int backend = pid.value(0).toInt();
        pid.finish();
        {
            // The server ends the session, as a restart or an administrator would.
            TdtmDBGeral killer;
            QVERIFY(killer.open(dtm.settings()));
            QSqlQuery kill(killer.database());
            QVERIFY(kill.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend)));
        }
        QTest::qWait(100);
        query->Open();
        QCOMPARE(query->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
                 QStringLiteral("Matriz"));
    }

    void failuresNameDriverAndDatabase()
    {
        // A server that is not there: open says why, and a use raises a clear message.
        TdtmDBGeral absent;
        TdtmDBGeral::Settings s;
        s.driver = QStringLiteral("QPSQL");
        s.host = QStringLiteral("127.0.0.1");
        s.port = 1;
        s.database = QStringLiteral("banco_ausente");
        s.user = QStringLiteral("postgres");
        QVERIFY(!absent.open(s));
        QVERIFY(!absent.lastError().isEmpty());
        try {
            absent.database();
            QFAIL("an unreachable database must raise");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("QPSQL")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("banco_ausente")),
                     qPrintable(e.message()));
        }

        TempSqliteDb db;
        auto query = makeQuery({{"SELECT NADA FROM TABELA_QUE_NAO_EXISTE"}, {}, {}, {}});
        try {
            query->Open();
            QFAIL("a failing statement must raise");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("QSQLITE")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("TABELA_QUE_NAO_EXISTE")),
                     qPrintable(e.message()));
        }
        QVERIFY(!query->Active());

        setDtmDBGeral(nullptr);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, query->Open());

        // Two data modules never share a connection.
        TdtmDBGeral a, b;
        QVERIFY(a.connectionName() != b.connectionName());
    }

    // --- References of the stored layouts --------------------------------------------------

    void references()
    {
        TADOIBQuery query;
        query.setObjectName(QStringLiteral("qryPesqFilial"));
        TDataSource source;
        source.setObjectName(QStringLiteral("dtsFilial__"));
        const ComponentLookup lookup = [&](const QString &name) -> QObject * {
            if (name == QLatin1String("qryPesqFilial"))
                return &query;
            if (name == QLatin1String("dtsFilial__"))
                return &source;
            return nullptr;
        };
        for (const char *reference : {"qryPesqFilial.Query", "qryPesqFilial"}) {
            source.setDataSet(nullptr);
            source.setDataSetName(QString::fromLatin1(reference));
            source.resolveReferences(lookup);
            QCOMPARE(source.DataSet(), query.Query());
        }
        source.setDataSetName(QStringLiteral("qryOutra.Query"));
        QVERIFY_THROWS_EXCEPTION(EAppError, source.resolveReferences(lookup));

        query.setADOConnection(QStringLiteral("dtmDBGeral.adcGeral"));
        query.setDataBase(QStringLiteral("dtmDBGeral.dtbGeral"));
        query.setTransaction(QStringLiteral("dtmDBGeral.ibtGeral"));
        query.setDataSourceName(QStringLiteral("dtsFilial__"));
        query.resolveReferences(lookup); // accepted without a data module yet
        query.setADOConnection(QStringLiteral("dtmOutro.adcGeral"));
        QVERIFY_THROWS_EXCEPTION(EAppError, query.resolveReferences(lookup));
        query.setADOConnection(QStringLiteral("dtmDBGeral.adcGeral"));
        query.setDataSourceName(QStringLiteral("dtsNenhum"));
        QVERIFY_THROWS_EXCEPTION(EAppError, query.resolveReferences(lookup));
    }
};

QTEST_MAIN(TestDataset)
#include "tst_dataset.moc"
