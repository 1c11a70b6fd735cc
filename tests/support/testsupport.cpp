#include "testsupport.h"

#include "tform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

// ---------------------------------------------------------------------------------------------
// Recording presenter

RecordingPresenter::RecordingPresenter()
{
    setMessagePresenter(this);
}

RecordingPresenter::~RecordingPresenter()
{
    if (messagePresenter() == this)
        setMessagePresenter(nullptr);
}

void RecordingPresenter::show(Kind kind, const QString &text)
{
    Entry entry;
    entry.kind = kind;
    entry.text = text;
    QWidget *focus = QApplication::focusWidget();
    entry.focus = focus;
    // A composite control (a date edit) names the control, not its inner edit.
    if (TForm *form = TForm::formOf(focus)) {
        if (QWidget *control = form->controlOf(focus)) {
            entry.focusName = control->objectName();
            entries << entry;
            return;
        }
    }
    // Otherwise the nearest named ancestor (Qt's inner widgets are unnamed or "qt_...").
    for (QWidget *w = focus; w; w = w->parentWidget()) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
            entry.focusName = name;
            break;
        }
    }
    entries << entry;
}

QStringList RecordingPresenter::texts() const
{
    QStringList result;
    for (const Entry &e : entries)
        result << e.text;
    return result;
}

// ---------------------------------------------------------------------------------------------
// Paths

QString sourcePath(const QString &relative)
{
    QString root = qEnvironmentVariable("PROJECT_SOURCE_ROOT");
    if (root.isEmpty()) {
        // Run by hand: the source tree is an ancestor of the build directory's parent.
        QDir dir(QCoreApplication::applicationDirPath());
        do {
            if (QFile::exists(dir.filePath(QStringLiteral("db/schema.sql")))) {
                root = dir.path();
                break;
            }
        } while (dir.cdUp());
    }
    return QDir(root).filePath(relative);
}

QString moduleDir()
{
    const QString dir = qEnvironmentVariable("MODULE_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

// ---------------------------------------------------------------------------------------------
// SQL files

namespace {

// Statements end with ';' at the end of a line; lines that are only a comment are left out.
QStringList splitStatements(const QString &sql)
{
    QStringList statements;
    QString current;
    const QStringList lines = sql.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")))
            continue;
        current += raw;
        current += QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            QString statement = current.trimmed();
            statement.chop(1);
            if (!statement.trimmed().isEmpty())
                statements << statement;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

} // namespace

void execSqlStatements(QSqlDatabase db, const QString &sql)
{
    const QStringList statements = splitStatements(sql);
    const bool transaction = db.transaction();
    for (const QString &statement : statements) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            const QString error = query.lastError().text();
            query.finish();
            if (transaction)
                db.rollback();
            throw EAppError(QStringLiteral("SQL falhou: %1\n%2").arg(error, statement));
        }
    }
    if (transaction && !db.commit())
        throw EAppError(QStringLiteral("COMMIT falhou: %1").arg(db.lastError().text()));
}

// ---------------------------------------------------------------------------------------------
// SQLite database of one test

TempSqliteDb::TempSqliteDb(bool withSchema)
    : m_dtm(std::make_unique<TdtmDBGeral>())
{
    if (!m_dir.isValid())
        throw EAppError(QStringLiteral("diretório temporário indisponível"));
    TdtmDBGeral::Settings settings;
    settings.driver = QStringLiteral("QSQLITE");
    settings.database = path();
    if (!m_dtm->open(settings))
        throw EAppError(QStringLiteral("SQLite não abriu: %1").arg(m_dtm->lastError()));
    setDtmDBGeral(m_dtm.get());
    if (withSchema)
        execFile(sourcePath(QStringLiteral("db/schema.sql")));
}

TempSqliteDb::~TempSqliteDb()
{
    if (dtmDBGeral() == m_dtm.get())
        setDtmDBGeral(nullptr);
}

void TempSqliteDb::exec(const QString &sql)
{
    QSqlQuery query(m_dtm->database());
    if (!query.exec(sql))
        throw EAppError(QStringLiteral("SQL falhou: %1\n%2").arg(query.lastError().text(), sql));
}

void TempSqliteDb::execFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EAppError(QStringLiteral("arquivo SQL não encontrado: %1").arg(path));
    execSqlStatements(m_dtm->database(), QString::fromUtf8(file.readAll()));
}

// ---------------------------------------------------------------------------------------------
// PostgreSQL test server

bool PgServer::available()
{
    return !qEnvironmentVariable("PGTEST_HOST").isEmpty() &&
           !qEnvironmentVariable("PGTEST_PORT").isEmpty();
}

TdtmDBGeral::Settings PgServer::settings()
{
    TdtmDBGeral::Settings s;
    s.driver = QStringLiteral("QPSQL");
    s.host = qEnvironmentVariable("PGTEST_HOST");
    s.port = qEnvironmentVariable("PGTEST_PORT").toInt();
    s.database = qEnvironmentVariable("PGTEST_DB", QStringLiteral("postgres"));
    s.user = qEnvironmentVariable("PGTEST_USER", QStringLiteral("postgres"));
    s.password = qEnvironmentVariable("PGTEST_PASSWORD");
    return s;
}

TdtmDBGeral::Settings PgServer::freshDatabase(const QString &name)
{
    // A name of its own per process, so test executables running side by side never share
    // (or drop) each other's database.
    QString database = name.toLower();
    database.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    database = QStringLiteral("%1_%2").arg(database).arg(QCoreApplication::applicationPid());

    TdtmDBGeral::Settings s = settings();
    const QString connection = QStringLiteral("pg-maintenance-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(s.host);
        db.setPort(s.port);
        db.setDatabaseName(s.database);
        db.setUserName(s.user);
        if (!s.password.isEmpty())
            db.setPassword(s.password);
        QString error;
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SET client_min_messages TO warning"));
            if (!query.exec(
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database)) ||
                !query.exec(QStringLiteral("CREATE DATABASE %1").arg(database)))
                error = query.lastError().text();
        }
        db.close();
        if (!error.isEmpty()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
            throw EAppError(
                QStringLiteral("banco de teste %1 não criado: %2").arg(database, error));
        }
    }
    QSqlDatabase::removeDatabase(connection);
    s.database = database;
    return s;
}

int largeTableRows()
{
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("KMB_LARGE_ROWS", &ok);
    return ok && rows > 0 ? rows : 1000000;
}
