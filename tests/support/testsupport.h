#pragma once

#include "dataset.h"
#include "errors.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

// Records every message instead of showing a box, with the widget that had the focus at that
// moment, so tests can tell "focus first, then message" from "message first, then focus".
class RecordingPresenter : public MessagePresenter
{
public:
    struct Entry
    {
        Kind kind;
        QString text;
        QPointer<QWidget> focus;
        QString focusName; // objectName of the focus widget's control (or the widget itself)
    };

    RecordingPresenter();
    ~RecordingPresenter() override;
    void show(Kind kind, const QString &text) override;

    QList<Entry> entries;
    QStringList texts() const;
    void clear() { entries.clear(); }
};

// The directory of the source tree (PROJECT_SOURCE_ROOT set by ctest).
QString sourcePath(const QString &relative);
// The directory holding the module libraries and the host (MODULE_DIR set by ctest).
QString moduleDir();

// A fresh SQLite database in a temporary directory, opened as the application's data module.
class TempSqliteDb
{
public:
    // Creates the schema of db/schema.sql, unless withSchema is false.
    explicit TempSqliteDb(bool withSchema = true);
    ~TempSqliteDb();
    QString path() const { return m_dir.filePath(QStringLiteral("test.db")); }
    void exec(const QString &sql);
    // Runs each statement of an SQL file (statements end with ';' at the end of a line).
    void execFile(const QString &path);
    TdtmDBGeral *dtm() const { return m_dtm.get(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TdtmDBGeral> m_dtm;
};

// The throwaway PostgreSQL server of the test command (PGTEST_HOST, PGTEST_PORT, PGTEST_DB,
// PGTEST_USER). Tests call it first and skip without a server, unless REQUIRE_PG is set, in
// which case a missing server fails the test.
struct PgServer
{
    static bool available();
    static TdtmDBGeral::Settings settings();
    // Creates a fresh database on the server for one test and returns its settings.
    static TdtmDBGeral::Settings freshDatabase(const QString &name);
};

#define REQUIRE_PG_OR_SKIP()                                                                       \
    do {                                                                                           \
        if (!PgServer::available()) {                                                              \
            if (qEnvironmentVariableIsSet("REQUIRE_PG"))                                           \
                QFAIL("PostgreSQL test server not available");                                     \
            QSKIP("no PostgreSQL test server");                                                    \
        }                                                                                          \
    } while (0)

// Rows of the large tables built on the fly: a million, unless KMB_LARGE_ROWS says otherwise
// (the sanitizer configuration, where every instrumented row costs several times more).
int largeTableRows();

// Runs SQL statements (split as execFile does) on a connection.
void execSqlStatements(QSqlDatabase db, const QString &sql);
