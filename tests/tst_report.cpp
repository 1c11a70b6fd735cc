// The report runner end to end: definitions, parameters, queries on SQLite and PostgreSQL,
// PDF and CSV output, preview, printing, and the ways a run stops.

#include "dataset.h"
#include "errors.h"
#include "pesquisalista.h"
#include "reportdefinition.h"
#include "reportdesigner.h"
#include "reportpreview.h"
#include "reportrender.h"
#include "reportsql.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <ctime>
#include <unistd.h>

namespace {

// The criteria of a run, as the screen would hold them.
struct Criteria
{
    QString branch = QStringLiteral("0001");
    QString budgetFrom;
    QString budgetTo;
    QDate dateFrom;
    QDate dateTo;
    QStringList suppliers;
    QStringList clients;
    QStringList eventTypes;
    QStringList serviceTypes;
    QStringList products;
};
} // namespace
Q_DECLARE_METATYPE(Criteria)
namespace {

// Fills the declared parameters from the criteria by the screen's rules ("T" for all rows,
// date-time 0 for open dates, the event-type and service-type flags carrying their lists).
TBeforeGetQueryParamsEvent handlerFor(const Criteria &c)
{
    return [c](TParams *params, bool &) {
        auto set = [params](const char *name, const std::function<void(TParam *)> &f) {
            if (ExistParam(params, QLatin1String(name)))
                f(params->ParamByName(QLatin1String(name)));
        };
        const bool allBudgets = c.budgetFrom.isEmpty() && c.budgetTo.isEmpty();
        const bool allDates = c.dateFrom.isNull() && c.dateTo.isNull();
        const QString T = QStringLiteral("T");
        const QString empty = QLatin1String("");
        set("P_CDFILIAL", [&](TParam *p) { p->SetAsString(c.branch); });
        set("P_TNRORCAEVENTO", [&](TParam *p) { p->SetAsVariant(allBudgets ? T : empty); });
        set("P_NRORCAEVENTOINI", [&](TParam *p) { p->SetAsVariant(c.budgetFrom + empty); });
        set("P_NRORCAEVENTOFIN", [&](TParam *p) { p->SetAsVariant(c.budgetTo + empty); });
        set("P_TDTEVENTO", [&](TParam *p) { p->SetAsVariant(allDates ? T : empty); });
        set("P_DTINICIAL", [&](TParam *p) { p->SetAsDateTime(dateToDateTime(c.dateFrom)); });
        set("P_DTFINAL", [&](TParam *p) { p->SetAsDateTime(dateToDateTime(c.dateTo)); });
        auto list = [&](const char *flag, const char *value, const QStringList &keys,
                        bool flagCarriesList) {
            const QString picked = pickListToString(keys);
            set(flag, [&](TParam *p) {
                p->SetAsString(keys.isEmpty() ? T : (flagCarriesList ? picked : empty));
            });
            set(value, [&](TParam *p) { p->SetAsString(keys.isEmpty() ? empty : picked); });
        };
        list("P_TCLIENTE", "P_CLIENTE", c.clients, false);
        list("P_TTIPOEVENTO", "P_TIPOEVENTO", c.eventTypes, true);
        list("P_TCDTPSERVEVEN", "P_CDTPSERVEVEN", c.serviceTypes, true);
        list("P_TCDFORNECED", "P_CDFORNECED", c.suppliers, false);
        list("P_TPRODUTO", "P_CDPRODUTO", c.products, false);
    };
}

// Budgets of two branches whose keys hold quotes and commas (tests/fixtures).
void loadFixture(QSqlDatabase db)
{
    QFile file(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql")));
    if (!file.open(QIODevice::ReadOnly))
        throw EAppError(QStringLiteral("tests/fixtures/report_fixture.sql não encontrado"));
    execSqlStatements(db, QString::fromUtf8(file.readAll()));
}

// JSON written with single quotes, which need no escaping in C++.
QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

// Supplier name of each fixture item ("budget/item").
const QHash<QString, QString> kSupplierOf = {
    {QStringLiteral("0000000001/1"), QStringLiteral("Fornecedor Um Ltda")},
    {QStringLiteral("0000000001/2"), QStringLiteral("O'Brien Serviços")},
    {QStringLiteral("0000000002/1"), QStringLiteral("Vírgula, Eventos")},
    {QStringLiteral("0000000002/2"), QStringLiteral("Fornecedor Um Ltda")},
    {QStringLiteral("0000000003/1"), QStringLiteral("Aspas \"Duplas\" ME")},
    {QStringLiteral("0000000004/1"), QStringLiteral("Fornecedor Um Ltda")},
};

// RFC 4180 rows of a CSV text.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == '\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString pdfText(const QString &path, int page = 0)
{
    QStringList args{QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args << path << QStringLiteral("-"));
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return -1;
    const QRegularExpression re(QStringLiteral("Pages:\\s+(\\d+)"));
    return re.match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

// "budget/item" of each CSV row, from the columns named "Orçamento" and "Item".
QStringList csvRowKeys(const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return {QStringLiteral("<no header>")};
    const int budget = int(rows.first().indexOf(QStringLiteral("Orçamento")));
    const int item = int(rows.first().indexOf(QStringLiteral("Item")));
    QStringList keys;
    for (qsizetype i = 1; i < rows.size(); ++i)
        keys << rows.at(i).value(budget) + QLatin1Char('/') + rows.at(i).value(item);
    return keys;
}

// Every file (hidden ones too) of a directory: a failed run leaves none behind.
QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// A PostgreSQL database of one test, opened as the application's data module.
class PgDb
{
public:
    explicit PgDb(const QString &name)
    {
        if (!m_dtm.open(PgServer::freshDatabase(name)))
            throw EAppError(m_dtm.lastError());
        setDtmDBGeral(&m_dtm);
        QFile schema(sourcePath(QStringLiteral("db/schema.sql")));
        if (!schema.open(QIODevice::ReadOnly))
            throw EAppError(QStringLiteral("db/schema.sql não encontrado"));
        execSqlStatements(m_dtm.database(), QString::fromUtf8(schema.readAll()));
    }
    ~PgDb()
    {
        if (dtmDBGeral() == &m_dtm)
            setDtmDBGeral(nullptr);
        m_dtm.close();
    }
    TdtmDBGeral *dtm() { return &m_dtm; }

private:
    TdtmDBGeral m_dtm;
};

} // namespace

class tst_Report : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void definitionsOfTheCode();
    void definitionsReadAgainWhenFilesChange();
    void malformedDefinition_data();
    void malformedDefinition();
    void definitionsNotFound_data();
    void definitionsNotFound();

    void sqlExpansion_data();
    void sqlExpansion();
    void sqlErrors_data();
    void sqlErrors();
    void bindValues();

    void selectedRows_data();
    void selectedRows();
    void selectedRowsPostgres_data();
    void selectedRowsPostgres();
    void csvValues();

    void handlerFailureStopsRun_data();
    void handlerFailureStopsRun();
    void unsetParameterStopsRun();
    void flagFalseCancelsSilently();
    void unwritablePath_data();
    void unwritablePath();
    void malformedPickListIsRefused();

    void pagesRepeatHeadingsAndNumbers();
    void cancelLeavesNoFile();
    void printToPrinter();
    void previewPaintsVisiblePages();
    void previewStopsReading();

private:
    void runSelectedRows(const QString &driverLabel);
    QString reportsDir() const { return sourcePath(QStringLiteral("reports")); }
    QTemporaryDir m_out;
};

void tst_Report::initTestCase()
{
    // Dates must survive a zone west of UTC (ctest sets it; a run by hand gets it here).
    if (qEnvironmentVariableIsEmpty("TZ")) {
        qputenv("TZ", "America/Sao_Paulo");
        tzset();
    }
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext (poppler-utils) is needed to read the PDFs");
    QVERIFY(m_out.isValid());
}

// ---------------------------------------------------------------------------------------------
// Definitions

void tst_Report::definitionsOfTheCode()
{
    TReportDesignerDialog runner;
    const QStringList names = runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    QCOMPARE(names, QStringList({QStringLiteral("Fornecedores por orçamento"),
                                 QStringLiteral("Fornecedores por produto")}));
    // Each layout declares the criteria its arrangement of the screen offers, and no other.
    const QSet<QString> common{"P_CDFILIAL",        "P_TNRORCAEVENTO", "P_NRORCAEVENTOINI",
                               "P_NRORCAEVENTOFIN", "P_TDTEVENTO",     "P_DTINICIAL",
                               "P_DTFINAL",         "P_TCDFORNECED",   "P_CDFORNECED"};
    const QStringList standard = runner.definition(0).parameters;
    const QStringList product = runner.definition(1).parameters;
    const QSet<QString> standardSet(standard.begin(), standard.end());
    const QSet<QString> productSet(product.begin(), product.end());
    QCOMPARE(standardSet,
             common + QSet<QString>({"P_TCLIENTE", "P_CLIENTE", "P_TTIPOEVENTO", "P_TIPOEVENTO",
                                     "P_TCDTPSERVEVEN", "P_CDTPSERVEVEN"}));
    QCOMPARE(productSet, common + QSet<QString>({"P_TPRODUTO", "P_CDPRODUTO"}));

    // The subfolder is found from the parent directory and from the folder itself.
    TReportDesignerDialog direct;
    QCOMPARE(direct.loadDefinitions(QStringLiteral("KMB612"),
                                    QDir(reportsDir()).filePath(QStringLiteral("KMB612"))),
             names);
}

void tst_Report::definitionsReadAgainWhenFilesChange()
{
    // Definitions are kept per code; a changed, added or removed file is seen at the next load.
    QTemporaryDir dir;
    auto write = [&](const QString &file, int order, const QString &name) {
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("{\"code\": \"KMB999\", \"order\": %1, \"name\": \"%2\", "
                               "\"title\": \"T\", \"sql\": \"SELECT A FROM T\", "
                               "\"columns\": [{\"field\": \"A\"}]}")
                    .arg(order)
                    .arg(name)
                    .toUtf8());
    };
    auto names = [&] {
        QStringList result;
        for (const ReportDefinition &def :
             loadReportDefinitions(QStringLiteral("KMB999"), dir.path()))
            result << def.name;
        return result;
    };
    write(QStringLiteral("KMB999.json"), 0, QStringLiteral("Primeiro"));
    QCOMPARE(names(), QStringList{"Primeiro"});
    QCOMPARE(names(), QStringList{"Primeiro"});
    write(QStringLiteral("KMB999.json"), 0, QStringLiteral("Primeiro alterado"));
    QCOMPARE(names(), QStringList{"Primeiro alterado"});
    write(QStringLiteral("KMB999_b.json"), 1, QStringLiteral("Segundo"));
    QCOMPARE(names(), QStringList({"Primeiro alterado", "Segundo"}));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("KMB999_b.json"))));
    QCOMPARE(names(), QStringList{"Primeiro alterado"});
}

void tst_Report::malformedDefinition_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fault");

    const QByteArray sqlOk = json("'sql': 'SELECT A FROM T WHERE B = :P_B'");
    const QByteArray columns = json("'columns': [{'field': 'A'}]");
    auto def = [&](const QByteArray &extra, bool withSql = true) {
        return "{\"code\": \"KMB999\", \"order\": 0, \"name\": \"N\", \"title\": \"T\", " +
               (withSql ? sqlOk + ", " : QByteArray()) + columns + extra + "}";
    };
    QTest::newRow("bad JSON") << QByteArray("{\"code\": \"KMB999\",\n \"order\": 0,,}")
                              << QStringLiteral("JSON inválido na posição");
    QTest::newRow("missing key") << def("", false) << QStringLiteral("falta a chave \"sql\"");
    QTest::newRow("unknown key") << def(", \"colunas\": []")
                                 << QStringLiteral("chave desconhecida \"colunas\"");
    QTest::newRow("unknown macro")
        << QByteArray(
               json("{'code': 'KMB999', 'order': 0, 'name': 'N', 'title': 'T',"
                    "                          'sql': ['SELECT A FROM T', 'WHERE {LIKE A :P_A}'],"
                    "                          'columns': [{'field': 'A'}]}"))
        << QStringLiteral("linha 2, coluna 7: macro desconhecida \"{LIKE\"");
    QTest::newRow("unknown format")
        << QByteArray(json("{'code': 'KMB999', 'order': 0, 'name': 'N', 'title': 'T',"
                           "                          'sql': 'SELECT A FROM T', 'columns': "
                           "[{'field': 'A', 'format': 'money'}]}"))
        << QStringLiteral("formato desconhecido \"money\"");
    QTest::newRow("sum of text")
        << QByteArray(json("{'code': 'KMB999', 'order': 0, 'name': 'N', 'title': 'T',"
                           "                          'sql': 'SELECT A FROM T', 'columns': "
                           "[{'field': 'A', 'total': 'sum'}]}"))
        << QStringLiteral("só colunas integer ou number podem ser somadas");
    QTest::newRow("criterion of an undeclared parameter")
        << def(json(", 'criteria': [{'label': 'X', 'kind': 'list', 'all': 'P_TX', 'list': 'P_X'}]"))
        << QStringLiteral("o parâmetro P_TX não aparece no SQL");
    QTest::newRow("positional placeholder")
        << QByteArray(json("{'code': 'KMB999', 'order': 0, 'name': 'N', 'title': 'T',"
                           "                          'sql': 'SELECT A FROM T WHERE B = ?', "
                           "'columns': [{'field': 'A'}]}"))
        << QStringLiteral("use parâmetros com nome");
    QTest::newRow("no columns")
        << QByteArray(json("{'code': 'KMB999', 'order': 0, 'name': 'N', 'title': 'T',"
                           "                          'sql': 'SELECT A FROM T', 'columns': []}"))
        << QStringLiteral("\"columns\" deve ter ao menos uma coluna");
    QTest::newRow("another code") << def("").replace("KMB999", "KMB998")
                                  << QStringLiteral("o código \"KMB998\" não é o do relatório");
}

void tst_Report::malformedDefinition()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("KMB999_a.json"));
    writeText(file, content);
    TReportDesignerDialog runner;
    try {
        runner.loadDefinitions(QStringLiteral("KMB999"), dir.path());
        QFAIL("a malformed definition was accepted");
    } catch (const EReportNotFound &) {
        QFAIL("reported as not found");
    } catch (const EAppError &e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(file)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(fault), qPrintable(e.message()));
    }
    QCOMPARE(runner.count(), 0);
}

void tst_Report::definitionsNotFound_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("code");
    QTest::newRow("missing directory")
        << QStringLiteral("/nonexistent/reports") << QStringLiteral("KMB612");
    QTest::newRow("directory without the code") << QString() << QStringLiteral("KMB612");
    QTest::newRow("a longer code is another report") << QString() << QStringLiteral("KMB61");
}

void tst_Report::definitionsNotFound()
{
    QFETCH(QString, directory);
    QFETCH(QString, code);
    QTemporaryDir temp;
    if (directory.isEmpty()) {
        directory = temp.path();
        writeText(temp.filePath(QStringLiteral("KMB700.json")), "{}");
        writeText(
            temp.filePath(QStringLiteral("KMB612.json")),
            json("{'code': 'KMB612', 'order': 0, 'name': 'N', 'title': 'T',"
                 "                      'sql': 'SELECT A FROM T', 'columns': [{'field': 'A'}]}"));
        if (code == QLatin1String("KMB612"))
            QFile::remove(temp.filePath(QStringLiteral("KMB612.json")));
    }
    TReportDesignerDialog runner;
    try {
        runner.loadDefinitions(code, directory);
        QFAIL("definitions found where there are none");
    } catch (const EReportNotFound &e) {
        QCOMPARE(e.code, code);
        QCOMPARE(e.directory, directory);
        QVERIFY(e.message().contains(QStringLiteral("'%1'").arg(code)));
        QVERIFY(e.message().contains(QDir::toNativeSeparators(directory)));
    }
    QCOMPARE(runner.count(), 0);
}

// ---------------------------------------------------------------------------------------------
// SQL

void tst_Report::sqlExpansion_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("bindOrder");

    QTest::newRow("a parameter used twice binds twice")
        << "WHERE (:P_A = 'T' OR X >= :p_a)" << false << "WHERE (? = 'T' OR X >= ?)"
        << QStringList{"P_A", "P_A"};
    QTest::newRow("quotes, comments and casts are no parameters")
        << "SELECT ':P_X', \"a:b\", Y::int -- :P_Y\n/* :P_Z */ FROM T WHERE A = :P_A" << true
        << "SELECT ':P_X', \"a:b\", Y::int -- :P_Y\n/* :P_Z */ FROM T WHERE A = ?"
        << QStringList{"P_A"};
    QTest::newRow("membership on SQLite")
        << "{IN I.CDFORNECED :P_L}" << false
        << "I.CDFORNECED IN (SELECT value FROM json_each(NULLIF(?, '')))" << QStringList{"P_L"};
    QTest::newRow("membership on PostgreSQL")
        << "{in I.CDFORNECED :P_L}" << true
        << "I.CDFORNECED IN (SELECT json_array_elements_text(CAST(NULLIF(?, '') AS json)))"
        << QStringList{"P_L"};
    QTest::newRow("date on SQLite")
        << "{DATE :P_D} IS NULL" << false << "? IS NULL" << QStringList{"P_D"};
    QTest::newRow("date on PostgreSQL")
        << "{DATE :P_D} IS NULL" << true << "CAST(? AS DATE) IS NULL" << QStringList{"P_D"};
}

void tst_Report::sqlExpansion()
{
    QFETCH(QString, sql);
    QFETCH(bool, postgres);
    QFETCH(QString, text);
    QFETCH(QStringList, bindOrder);
    const ExpandedSql expanded =
        expandReportSql(sql, postgres ? SqlDialect::PostgreSQL : SqlDialect::SQLite);
    QCOMPARE(expanded.text, text);
    QCOMPARE(expanded.bindOrder, bindOrder);
}

void tst_Report::sqlErrors_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("message");
    QTest::newRow("unclosed macro") << "WHERE {IN A :P_A" << 6 << "sem \"}\"";
    QTest::newRow("membership without a list") << "WHERE {IN A}" << 6 << "{IN COLUNA :P_LISTA}";
    QTest::newRow("membership over a parameter") << "{IN :P_B :P_A}" << 0 << "não pode ter";
    QTest::newRow("unclosed quote") << "WHERE A = 'x" << 10 << "aspas";
}

void tst_Report::sqlErrors()
{
    QFETCH(QString, sql);
    QFETCH(int, offset);
    QFETCH(QString, message);
    try {
        expandReportSql(sql, SqlDialect::SQLite);
        QFAIL("accepted");
    } catch (const ReportSqlError &e) {
        QCOMPARE(e.offset, offset);
        QVERIFY2(e.message.contains(message), qPrintable(e.message));
    }
}

void tst_Report::bindValues()
{
    TParam date(QStringLiteral("P_D"));
    date.SetAsDateTime(dateToDateTime(QDate(2024, 2, 15)));
    // PostgreSQL gets a date, never a date-time its driver would send as a UTC instant.
    QCOMPARE(reportBindValue(&date, SqlDialect::PostgreSQL, true, false).typeId(),
             int(QMetaType::QDate));
    QCOMPARE(reportBindValue(&date, SqlDialect::PostgreSQL, true, false).toDate(),
             QDate(2024, 2, 15));
    QCOMPARE(reportBindValue(&date, SqlDialect::SQLite, true, false),
             QVariant(QStringLiteral("2024-02-15")));
    date.SetAsDateTime(0);
    QVERIFY(reportBindValue(&date, SqlDialect::PostgreSQL, true, false).isNull());
    QVERIFY(reportBindValue(&date, SqlDialect::SQLite, true, false).isNull());

    TParam text(QStringLiteral("P_T"));
    text.SetAsString(QString());
    const QVariant bound = reportBindValue(&text, SqlDialect::PostgreSQL, false, false);
    QVERIFY(!bound.isNull());
    QCOMPARE(bound.toString(), QString());
}

// ---------------------------------------------------------------------------------------------
// Rows selected by the criteria, in PDF and CSV

void tst_Report::selectedRows_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("header"); // parts of the criteria line

    const QString b1 = QStringLiteral("0000000001/1"), b12 = QStringLiteral("0000000001/2"),
                  b21 = QStringLiteral("0000000002/1"), b22 = QStringLiteral("0000000002/2"),
                  b3 = QStringLiteral("0000000003/1"), b4 = QStringLiteral("0000000004/1");
    Criteria all;
    QTest::newRow("standard, all rows") << 0 << all << QStringList{b1, b12, b21, b22, b3}
                                        << QStringList{"Filial: 0001 - Matriz São Paulo",
                                                       "Orçamento: Todos",
                                                       "Data do evento: Todos",
                                                       "Fornecedores: Todos",
                                                       "Clientes: Todos",
                                                       "Tipos de evento: Todos",
                                                       "Tipos de serviço: Todos"};
    Criteria branch;
    branch.branch = QStringLiteral("0002");
    QTest::newRow("standard, another branch")
        << 0 << branch << QStringList{b4} << QStringList{"Filial: 0002 - Filial Rio"};
    Criteria budgets;
    budgets.budgetFrom = QStringLiteral("0000000002");
    budgets.budgetTo = QStringLiteral("0000000003");
    QTest::newRow("standard, budget range") << 0 << budgets << QStringList{b21, b22, b3}
                                            << QStringList{"Orçamento: 0000000002 a 0000000003"};
    Criteria from;
    from.dateFrom = QDate(2024, 2, 15);
    QTest::newRow("standard, dates from a day on (inclusive)")
        << 0 << from << QStringList{b21, b22, b3}
        << QStringList{"Data do evento: a partir de 15/02/2024"};
    Criteria until;
    until.dateTo = QDate(2024, 2, 15);
    QTest::newRow("standard, dates up to a day (inclusive)")
        << 0 << until << QStringList{b1, b12, b21, b22}
        << QStringList{"Data do evento: até 15/02/2024"};
    Criteria suppliers;
    suppliers.suppliers = QStringList{QStringLiteral("F'02"), QStringLiteral("F,03")};
    QTest::newRow("standard, picked suppliers with a quote and a comma")
        << 0 << suppliers << QStringList{b12, b21}
        << QStringList{"Fornecedores: 2 selecionados", "Clientes: Todos"};
    Criteria clients;
    clients.clients = QStringList{QStringLiteral("CL'2"), QStringLiteral("CL,3")};
    QTest::newRow("standard, picked clients")
        << 0 << clients << QStringList{b21, b22, b3} << QStringList{"Clientes: 2 selecionados"};
    Criteria types;
    types.eventTypes = QStringList{QStringLiteral("CAS")};
    types.serviceTypes = QStringList{QStringLiteral("BUF"), QStringLiteral("S'M")};
    QTest::newRow("standard, picked event and service types")
        << 0 << types << QStringList{b1, b12, b3}
        << QStringList{"Tipos de evento: 1 selecionado", "Tipos de serviço: 2 selecionados"};
    Criteria service;
    service.serviceTypes = QStringList{QStringLiteral("S'M")};
    QTest::newRow("standard, a service type with a quote")
        << 0 << service << QStringList{b12, b22} << QStringList{"Tipos de serviço: 1 selecionado"};

    // Products in tree order, then suppliers by code ('F"04' sorts before 'F001').
    QTest::newRow("product, all rows")
        << 1 << all << QStringList{b3, b1, b22, b21, b12}
        << QStringList{"Filial: 0001 - Matriz São Paulo", "Fornecedores: Todos", "Produtos: Todos"};
    Criteria products;
    products.products = QStringList{QStringLiteral("P,2")};
    QTest::newRow("product, a picked product with a comma")
        << 1 << products << QStringList{b21} << QStringList{"Produtos: 1 selecionado"};
    Criteria mixed;
    mixed.suppliers = QStringList{QStringLiteral("F\"04"), QStringLiteral("F001")};
    mixed.dateFrom = QDate(2024, 1, 1);
    mixed.dateTo = QDate(2024, 2, 29);
    QTest::newRow("product, suppliers with a double quote and a closed date range")
        << 1 << mixed << QStringList{b1, b22}
        << QStringList{"Data do evento: 01/01/2024 a 29/02/2024"};
    // The product layout does not declare the client criterion: a pick there filters nothing.
    Criteria hidden;
    hidden.clients = QStringList{QStringLiteral("CL1")};
    QTest::newRow("product, hidden client pick is not a filter")
        << 1 << hidden << QStringList{b3, b1, b22, b21, b12} << QStringList{"Produtos: Todos"};
}

void tst_Report::runSelectedRows(const QString &driverLabel)
{
    QFETCH(int, layout);
    QFETCH(Criteria, criteria);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, header);

    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(criteria);
    const QString base = m_out.filePath(QStringLiteral("%1-%2-%3")
                                            .arg(driverLabel)
                                            .arg(layout)
                                            .arg(QString::fromLatin1(QTest::currentDataTag())
                                                     .replace(QRegularExpression("\\W+"), "_")));

    // CSV: exactly the selected rows, in the report's order.
    const QString csv = runner.SaveAs(layout, nullptr, base + QStringLiteral(".csv"));
    QCOMPARE(csv, base + QStringLiteral(".csv"));
    QCOMPARE(csvRowKeys(parseCsv(readFile(csv))), rows);
    QCOMPARE(runner.lastLineCount(), qint64(rows.size()));

    // PDF: the budgets and suppliers of those rows and no other, and the criteria line.
    const QString pdf = runner.SaveAs(layout, nullptr, base + QStringLiteral(".pdf"));
    const QString text = pdfText(pdf);
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    QVERIFY(text.contains(QStringLiteral("KMB612")));
    QVERIFY(text.contains(runner.definition(layout).title));
    QVERIFY(text.contains(QStringLiteral("Página 1 de 1")));
    for (const QString &part : header)
        QVERIFY2(text.contains(part), qPrintable(part + QStringLiteral(" missing in:\n") + text));
    QSet<QString> budgets;
    QSet<QString> suppliers;
    for (const QString &row : rows) {
        budgets << row.section(QLatin1Char('/'), 0, 0);
        suppliers << kSupplierOf.value(row);
    }
    const QRegularExpression budgetRe(QStringLiteral("\\b000000000\\d\\b"));
    QSet<QString> budgetsInPdf;
    for (auto it = budgetRe.globalMatch(text); it.hasNext();)
        budgetsInPdf << it.next().captured(0);
    QCOMPARE(budgetsInPdf, budgets);
    for (auto it = kSupplierOf.cbegin(); it != kSupplierOf.cend(); ++it)
        QVERIFY2(text.contains(it.value()) == suppliers.contains(it.value()),
                 qPrintable(it.value()));
}

void tst_Report::selectedRows()
{
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    runSelectedRows(QStringLiteral("sqlite"));
}

void tst_Report::selectedRowsPostgres_data()
{
    selectedRows_data();
}

void tst_Report::selectedRowsPostgres()
{
    REQUIRE_PG_OR_SKIP();
    PgDb db(QStringLiteral("tst_report"));
    loadFixture(db.dtm()->database());
    runSelectedRows(QStringLiteral("pg"));
}

void tst_Report::csvValues()
{
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    const QString path = runner.SaveAs(0, nullptr, m_out.filePath(QStringLiteral("values.csv")));
    const QByteArray bytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(bytes.startsWith("Orçamento,Data do evento,Cliente,")); // UTF-8, no BOM
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes));
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows.first(), QStringList({"Orçamento", "Data do evento", "Cliente", "Nome do cliente",
                                        "Tipo de evento", "Descrição do tipo de evento", "Item",
                                        "Tipo de serviço", "Fornecedor", "Razão social", "CNPJ/CPF",
                                        "Qtde.", "Valor unitário", "Valor total"}));
    // Raw values: ISO dates, unformatted numbers, keys and names with quotes and commas intact.
    QCOMPARE(rows.at(3), QStringList({"0000000002", "2024-02-15", "CL'2", "Bruno D'Ávila", "A,N",
                                      "Aniversário", "1", "Bufê", "F,03", "Vírgula, Eventos",
                                      "11444777000161", "4", "80.00", "320.00"}));
    QCOMPARE(rows.at(5).at(8), QStringLiteral("F\"04"));
    QCOMPARE(rows.at(5).at(11), QStringLiteral("2.5"));
    QVERIFY(bytes.contains("\"F,03\",\"Vírgula, Eventos\""));
    QVERIFY(bytes.contains("\"F\"\"04\",\"Aspas \"\"Duplas\"\" ME\""));

    // The PDF shows the same values formatted, and the totals.
    const QString text = pdfText(runner.SaveAs(0, nullptr, m_out.filePath("values.pdf")));
    QVERIFY(text.contains(QStringLiteral("15/02/2024")));
    QVERIFY(text.contains(QStringLiteral("11.444.777/0001-61"))); // CNPJ mask
    QVERIFY(text.contains(QStringLiteral("390.533.447-05")));     // CPF mask
    QVERIFY(text.contains(QStringLiteral("1.200,00")));
    QVERIFY(text.contains(QStringLiteral("2,5")));
    QRegularExpression total(QStringLiteral("Total do orçamento 0000000001\\s+1.255,00"));
    QVERIFY2(total.match(text).hasMatch(), qPrintable(text));
    // 55 + 1200 + 320 + 100 + 18.125 rounded per row (18.13)
    QVERIFY(QRegularExpression(QStringLiteral("Total geral\\s+1.693,13")).match(text).hasMatch());
}

// ---------------------------------------------------------------------------------------------
// Runs that stop

void tst_Report::handlerFailureStopsRun_data()
{
    QTest::addColumn<bool>("silentAbort");
    QTest::newRow("an error") << false;
    QTest::newRow("the silent abort") << true;
}

void tst_Report::handlerFailureStopsRun()
{
    QFETCH(bool, silentAbort);
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    bool called = false;
    runner.BeforeGetQueryParams = [&](TParams *params, bool &flag) {
        called = true;
        QVERIFY(flag); // the flag arrives true
        QVERIFY(ExistParam(params, QStringLiteral("P_CDFILIAL")));
        if (silentAbort)
            throw EAbort{};
        throw EAppError(QStringLiteral("falha do manipulador"));
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.pdf"));
    bool propagated = false;
    try {
        runner.SaveAs(0, nullptr, path);
    } catch (const EAbort &) {
        propagated = silentAbort;
    } catch (const EAppError &e) {
        propagated = !silentAbort && e.message() == QLatin1String("falha do manipulador");
    }
    QVERIFY(called);
    QVERIFY(propagated);
    QCOMPARE(filesIn(dir.path()), QStringList());
    QVERIFY(!runner.isRunning());
}

void tst_Report::unsetParameterStopsRun()
{
    // The table does not exist: reaching the query would give a database error instead.
    TempSqliteDb db(false);
    QTemporaryDir defs;
    writeText(defs.filePath(QStringLiteral("KMB999.json")),
              json("{'code': 'KMB999', 'order': 0, 'name': 'Teste', 'title': 'T',"
                   "                  'sql': 'SELECT A FROM NAOEXISTE WHERE B = :P_B AND C = :P_C',"
                   "                  'columns': [{'field': 'A'}]}"));
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB999"), defs.path());
    runner.BeforeGetQueryParams = [](TParams *params, bool &) {
        params->ParamByName(QStringLiteral("P_B"))->SetAsString(QStringLiteral("x"));
    };
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("r.pdf"), QStringLiteral("r.csv")}) {
        try {
            runner.SaveAs(0, nullptr, dir.filePath(name));
            QFAIL("ran with an unset parameter");
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(QStringLiteral("the query ran: ") + e.message()));
        } catch (const EAppError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("P_C")), qPrintable(e.message()));
            QVERIFY(!e.message().contains(QStringLiteral("P_B")));
        }
    }
    QCOMPARE(filesIn(dir.path()), QStringList());
}

void tst_Report::flagFalseCancelsSilently()
{
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    RecordingPresenter presenter;
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    const TBeforeGetQueryParamsEvent fill = handlerFor(Criteria());
    runner.BeforeGetQueryParams = [&](TParams *params, bool &flag) {
        fill(params, flag);
        flag = false;
    };
    QTemporaryDir dir;
    QCOMPARE(runner.SaveAs(0, nullptr, dir.filePath(QStringLiteral("r.csv"))), QString());
    runner.Preview(0, nullptr);
    QVERIFY(!runner.lastPreview());
    QCOMPARE(filesIn(dir.path()), QStringList());
    QCOMPARE(presenter.texts(), QStringList());
}

void tst_Report::unwritablePath_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder") << "nao/existe/r.pdf"
                                    << "a pasta não existe";
    QTest::newRow("a folder") << "pasta.pdf"
                              << "é uma pasta";
    QTest::newRow("read-only folder") << "somenteleitura/r.csv"
                                      << "Não foi possível gravar";
    QTest::newRow("unknown extension") << "r.txt"
                                       << "deve terminar em .pdf ou .csv";
}

void tst_Report::unwritablePath()
{
    QFETCH(QString, relative);
    QFETCH(QString, message);
    if (relative.startsWith(QLatin1String("somenteleitura")) && geteuid() == 0)
        QSKIP("root writes in read-only folders");
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("pasta.pdf"));
    QDir(dir.path()).mkdir(QStringLiteral("somenteleitura"));
    QFile::setPermissions(dir.filePath(QStringLiteral("somenteleitura")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    const QString path = dir.filePath(relative);
    try {
        runner.SaveAs(0, nullptr, path);
        QFAIL("wrote to an unwritable path");
    } catch (const EAppError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
    }
    QFile::setPermissions(dir.filePath(QStringLiteral("somenteleitura")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(filesIn(dir.path()), QStringList());
}

void tst_Report::malformedPickListIsRefused()
{
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    const TBeforeGetQueryParamsEvent fill = handlerFor(Criteria());
    runner.BeforeGetQueryParams = [&](TParams *params, bool &flag) {
        fill(params, flag);
        params->ParamByName(QStringLiteral("P_TCDFORNECED"))->SetAsString(QString(""));
        params->ParamByName(QStringLiteral("P_CDFORNECED"))->SetAsString("F001') OR ('1'='1");
    };
    QTemporaryDir dir;
    try {
        runner.SaveAs(0, nullptr, dir.filePath(QStringLiteral("r.csv")));
        QFAIL("a malformed pick list reached the query");
    } catch (const EAppError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("P_CDFORNECED")), qPrintable(e.message()));
    }
    QCOMPARE(filesIn(dir.path()), QStringList());
}

// ---------------------------------------------------------------------------------------------
// Pages, cancel, print, preview

namespace {
// Budgets enough for several pages: n budgets of 7 items each.
void insertManyBudgets(QSqlDatabase db, int budgets)
{
    loadFixture(db);
    QVERIFY(db.transaction());
    QSqlQuery budget(db);
    budget.prepare(QStringLiteral("INSERT INTO ORCAEVENTO VALUES ('0001', ?, '2025-05-05', "
                                  "'CL1', 'CAS')"));
    QSqlQuery item(db);
    item.prepare(QStringLiteral("INSERT INTO ITORCAEVENTO VALUES ('0001', ?, ?, 'BUF', 'F001', "
                                "'P1', 1, 2)"));
    for (int b = 0; b < budgets; ++b) {
        const QString number = QString::number(100 + b).rightJustified(10, QLatin1Char('0'));
        budget.addBindValue(number);
        QVERIFY(budget.exec());
        for (int i = 1; i <= 7; ++i) {
            item.addBindValue(number);
            item.addBindValue(i);
            QVERIFY(item.exec());
        }
    }
    QVERIFY(db.commit());
}
} // namespace

void tst_Report::pagesRepeatHeadingsAndNumbers()
{
    TempSqliteDb db;
    insertManyBudgets(db.dtm()->database(), 60); // 420 more lines
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    const QString pdf = runner.SaveAs(0, nullptr, m_out.filePath(QStringLiteral("pages.pdf")));
    const int pages = pdfPages(pdf);
    QVERIFY2(pages >= 6, qPrintable(QString::number(pages)));
    QCOMPARE(pages, runner.lastPageCount());
    int continued = 0;
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfText(pdf, page);
        QVERIFY(text.contains(QStringLiteral("Relação de Fornecedores do Orçamento")));
        QVERIFY(text.contains(QStringLiteral("Razão social")));
        QVERIFY(text.contains(QStringLiteral("Valor total")));
        QVERIFY(text.contains(QStringLiteral("Página %1 de %2").arg(page).arg(pages)));
        if (text.contains(QStringLiteral("(continuação)")))
            ++continued;
        if (page == pages)
            QVERIFY(text.contains(QStringLiteral("Total geral")));
    }
    QVERIFY(continued > 0); // a budget running onto the next page is named again there
}

void tst_Report::cancelLeavesNoFile()
{
    TempSqliteDb db;
    insertManyBudgets(db.dtm()->database(), 1500); // 10,500 lines: several reading steps
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    int steps = 0;
    connect(&runner, &TReportDesignerDialog::progress, &runner, [&](qint64) {
        if (++steps == 1)
            runner.cancel();
    });
    QSignalSpy finished(&runner, &TReportDesignerDialog::runFinished);
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("r.pdf"), QStringLiteral("r.csv")}) {
        steps = 0;
        QCOMPARE(runner.SaveAs(0, nullptr, dir.filePath(name)), QString());
        QCOMPARE(steps, 1);
        QVERIFY(!runner.isRunning());
    }
    QCOMPARE(finished.count(), 2);
    QCOMPARE(filesIn(dir.path()), QStringList());
    // Not cancelled, the same run completes.
    steps = 2;
    QVERIFY(!runner.SaveAs(0, nullptr, dir.filePath(QStringLiteral("r.csv"))).isEmpty());
    QCOMPARE(runner.lastLineCount(), qint64(5 + 1500 * 7));
}

void tst_Report::printToPrinter()
{
    TempSqliteDb db;
    loadFixture(db.dtm()->database());
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = m_out.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(path);
    runner.PrintTo(1, &printer, nullptr);
    QCOMPARE(pdfPages(path), 1);
    const QString text = pdfText(path);
    QVERIFY(text.contains(QStringLiteral("Fornecedores por produto")));
    QVERIFY(text.contains(QStringLiteral("Produto 1.01.002 - Mesa \"redonda\"")));
    QVERIFY(text.contains(QStringLiteral("Vírgula, Eventos")));
}

void tst_Report::previewPaintsVisiblePages()
{
    TempSqliteDb db;
    insertManyBudgets(db.dtm()->database(), 400); // about 45 pages
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    runner.Preview(0, &parent);
    ReportPreviewDialog *preview = runner.lastPreview();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(preview->document()->pageCount() >= 1);
    QTRY_VERIFY_WITH_TIMEOUT(!preview->isReading(), 20000);
    const int pages = preview->document()->pageCount();
    QVERIFY(pages > 20);
    QCOMPARE(runner.lastLineCount(), qint64(5 + 400 * 7));

    QSpinBox *page = preview->findChild<QSpinBox *>();
    QVERIFY(page);
    QCOMPARE(page->maximum(), pages);
    page->setValue(10);
    QCOMPARE(preview->pageView()->currentPage(), 9);
    const QImage image = preview->pageView()->viewport()->grab().toImage();
    QVERIFY(preview->pageView()->lastPaintedPages() >= 1);
    QVERIFY(preview->pageView()->lastPaintedPages() <= 3);
    // Text was drawn: the page holds dark pixels.
    int dark = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            dark += qGray(image.pixel(x, y)) < 80;
    QVERIFY(dark > 100);
    preview->close();
    QTRY_VERIFY(!runner.lastPreview());
}

void tst_Report::previewStopsReading()
{
    TempSqliteDb db;
    insertManyBudgets(db.dtm()->database(), 3000); // 21,005 lines: many reading slices
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"), reportsDir());
    runner.BeforeGetQueryParams = handlerFor(Criteria());
    QWidget parent;
    parent.show();
    runner.Preview(0, &parent);
    ReportPreviewDialog *preview = runner.lastPreview();
    QVERIFY(preview);
    // The window opened with its first page while the rest is still to be read.
    QVERIFY(preview->isReading());
    QVERIFY(runner.isRunning());
    QVERIFY(preview->document()->rowCount() < 21005);
    runner.cancel();
    QVERIFY(!preview->isReading());
    QVERIFY(!runner.isRunning());
    QVERIFY(preview->document()->isFinished());
    const qint64 rows = preview->document()->rowCount();
    QVERIFY(rows < 21005);
    QTest::qWait(50); // no more rows arrive
    QCOMPARE(preview->document()->rowCount(), rows);
    preview->close();
}

QTEST_MAIN(tst_Report)
#include "tst_report.moc"
