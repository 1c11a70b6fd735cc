#pragma once

#include "component.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class QSqlQuery;

class TADOIBQuery;
class TQueryDataset;

// Date-time as a day count from 30 December 1899; the time of day is the fraction.
using TDateTime = double;
COMPONENTS_EXPORT TDateTime dateToDateTime(const QDate &date);
COMPONENTS_EXPORT QDate dateTimeToDate(TDateTime value);

enum class TFieldType { ftUnknown, ftString, ftDateTime, ftInteger, ftFloat };
enum class TParamType { ptUnknown, ptInput };

// One named parameter of a query. A parameter is "assigned" once any setter ran.
class COMPONENTS_EXPORT TParam
{
public:
    explicit TParam(const QString &name, TFieldType type = TFieldType::ftUnknown);

    QString Name() const { return m_name; }
    TFieldType DataType() const { return m_dataType; }
    void setDataType(TFieldType type) { m_dataType = type; }
    TParamType ParamType() const { return m_paramType; }
    void setParamType(TParamType type) { m_paramType = type; }

    // Text: DataType becomes ftString. A null QString is stored as the empty text, never NULL.
    void SetAsString(const QString &value);
    QString AsString() const;
    // General value; a text value leaves DataType ftString, other values their own type.
    void SetAsVariant(const QVariant &value);
    QVariant AsVariant() const { return m_value; }
    // Date-time (day count); DataType becomes ftDateTime.
    void SetAsDateTime(TDateTime value);
    TDateTime AsDateTime() const;

    bool isAssigned() const { return m_assigned; }
    void clear();

private:
    QString m_name;
    TFieldType m_dataType;
    TParamType m_paramType = TParamType::ptUnknown;
    QVariant m_value;
    bool m_assigned = false;
};

// Ordered collection of parameters; names match without regard to case.
class COMPONENTS_EXPORT TParams
{
public:
    TParams();
    ~TParams();
    TParams(const TParams &) = delete;
    TParams &operator=(const TParams &) = delete;

    // The parameter names of an SQL text (":NAME"), in order of first use; text inside quotes,
    // comments and "::" casts is not a parameter.
    static QStringList parseNames(const QString &sql);
    // Replaces the collection by the parameters named in the SQL text, keeping the values of
    // those that stay.
    void setFromSql(const QString &sql);

    TParam *Add(const QString &name, TFieldType type = TFieldType::ftUnknown);
    TParam *FindParam(const QString &name) const;
    // Raises EAppError naming the parameter when there is none.
    TParam *ParamByName(const QString &name) const;
    int Count() const { return int(m_items.size()); }
    TParam *at(int i) const { return m_items.at(size_t(i)).get(); }
    QStringList names() const;

private:
    std::vector<std::unique_ptr<TParam>> m_items;
};

// The report pack's test for a declared parameter.
COMPONENTS_EXPORT bool ExistParam(const TParams *params, const QString &name);

// A field of a query: reads its column of the current row.
class COMPONENTS_EXPORT TField : public QObject, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName WRITE setFieldName)
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE setDisplayLabel)
    Q_PROPERTY(int Size READ Size WRITE setSize)
    Q_PROPERTY(int DisplayWidth READ DisplayWidth WRITE setDisplayWidth)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)
public:
    explicit TField(QObject *parent = nullptr);

    TFieldGetTextEvent OnGetText;
    QStringList eventNames() const override { return {QStringLiteral("OnGetText")}; }
    BindResult bindEvent(const QString &event, const std::any &handler) override;

    QString FieldName() const { return m_fieldName; }
    void setFieldName(const QString &n) { m_fieldName = n; }
    // The heading: DisplayLabel, or the field name when there is none.
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void setDisplayLabel(const QString &l) { m_displayLabel = l; }
    int Size() const { return m_size; }
    void setSize(int s) { m_size = s; }
    // Display width in characters: DisplayWidth when set, else the size.
    int DisplayWidth() const { return m_displayWidth > 0 ? m_displayWidth : m_size; }
    void setDisplayWidth(int w) { m_displayWidth = w; }
    bool Visible() const { return m_visible; }
    void setVisible(bool v) { m_visible = v; }
    QString EditMask() const { return m_editMask; }
    void setEditMask(const QString &m) { m_editMask = m; }

    TADOIBQuery *DataSet() const;
    // Text of the current row; trailing blanks of padded CHAR values are trimmed.
    QString AsString() const;
    QVariant Value() const;
    // Display text of a value of this field: through OnGetText when bound, else through
    // EditMask when set, else the value itself. Never both.
    QString displayText(const QVariant &value);
    // Display text of the current row.
    QString DisplayText();

    // The text of a column value as fields give it: trailing blanks of padded CHAR values
    // removed, a null value as the empty text.
    static QString valueText(const QVariant &value);

private:
    friend class TADOIBQuery;
    QPointer<QObject> m_dataSet; // the query that holds the field
    QString m_fieldName;
    QString m_displayLabel;
    int m_size = 20;
    int m_displayWidth = 0;
    bool m_visible = true;
    QString m_editMask;
};

class COMPONENTS_EXPORT TADOIBStringField : public TField
{
    Q_OBJECT
public:
    explicit TADOIBStringField(QObject *parent = nullptr);
};

using TRow = QVector<QVariant>;

// Connection objects of the shared data module; every query is bound to them by name.
class COMPONENTS_EXPORT TConnectionObject : public QObject
{
    Q_OBJECT
public:
    TConnectionObject(const QString &name, QObject *parent);
};

// The shared data module: opens the application's database at start and hands its connection
// to the queries. Reopens a lost connection on the next use.
class COMPONENTS_EXPORT TdtmDBGeral : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QString driver = QStringLiteral("QSQLITE");
        QString database;
        QString host;
        int port = 0;
        QString user;
        QString password;
        QString options;
    };

    explicit TdtmDBGeral(QObject *parent = nullptr);
    ~TdtmDBGeral() override;

    // Opens the database; false with lastError() when it cannot.
    bool open(const Settings &settings);
    void close();
    bool isOpen() const;
    QString lastError() const { return m_lastError; }
    const Settings &settings() const { return m_settings; }
    // The connection, reopened when it was lost; raises EDatabaseError when it cannot be opened.
    QSqlDatabase database();
    QString connectionName() const { return m_connectionName; }
    // "database (driver)" for messages: the file, or the database at host:port.
    QString description() const;

    using Bindings = QList<QPair<QString, QVariant>>;
    // Runs a forward-only statement with its bound values and hands every row to onRow. When
    // the statement fails because the connection was lost since its last use, the connection
    // is reopened once and the statement run again. Raises EDatabaseError naming the driver,
    // the database and the driver's error.
    void select(const QString &sql, const Bindings &bindings,
                const std::function<void(const QSqlQuery &)> &onRow);
    // Closes and opens the connection again; false with lastError() when it cannot.
    bool reopen();
    // The connection after a cheap probe, reopened when the server ended the session, for
    // statements run outside select() (the report's query). Raises like database().
    QSqlDatabase liveDatabase();

    TConnectionObject *adcGeral;
    TConnectionObject *dtbGeral;
    TConnectionObject *ibtGeral;

private:
    bool openConnection();
    bool connectionAlive();
    QString failureText(const QString &driverError) const;
    Settings m_settings;
    QString m_connectionName;
    QString m_lastError;
};

// The application's data module; null until the host created one.
COMPONENTS_EXPORT TdtmDBGeral *dtmDBGeral();
COMPONENTS_EXPORT void setDtmDBGeral(TdtmDBGeral *module);

// The inner dataset of a query, which data sources hand to search and pick lists. Rows are read
// a page at a time by the query's paging key, so a million-row table is never read whole.
class COMPONENTS_EXPORT TQueryDataset : public QObject
{
    Q_OBJECT
public:
    explicit TQueryDataset(TADOIBQuery *query);
    TADOIBQuery *query() const;

    // Rows (values in field order) after the given row in paging-key order, at most limit
    // rows, restricted to rows where a visible field contains filterText (case-insensitive,
    // '%' and '_' literal). after null means from the start.
    QList<TRow> fetchPage(const TRow *after, int limit, const QString &filterText = {}) const;
    // Every value of one field over the rows matching the filter, in paging order.
    QStringList fetchColumn(const QString &fieldName, const QString &filterText = {}) const;
    // Makes the row the query's current row, so its fields read it.
    void setCurrentRow(const TRow &row);
};

// A read-only query over the shared data module's connection, with parameters taken from its
// SQL text and text fields declared by the layout.
class COMPONENTS_EXPORT TADOIBQuery : public QObject, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE setSQL)
    Q_PROPERTY(QString DataSource READ dataSourceName WRITE setDataSourceName)
    Q_PROPERTY(QString ADOConnection READ ADOConnection WRITE setADOConnection)
    Q_PROPERTY(QString DataBase READ DataBase WRITE setDataBase)
    Q_PROPERTY(QString Transaction READ Transaction WRITE setTransaction)
    Q_PROPERTY(QStringList PagingKey READ PagingKey WRITE setPagingKey)
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(bool ParamCheck READ ParamCheck WRITE setParamCheck)
public:
    explicit TADOIBQuery(QObject *parent = nullptr);
    ~TADOIBQuery() override;

    QStringList SQL() const { return m_sql; }
    void setSQL(const QStringList &lines);
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }
    QString dataSourceName() const { return m_dataSourceName; }
    void setDataSourceName(const QString &n) { m_dataSourceName = n; }
    QString ADOConnection() const { return m_adoConnection; }
    void setADOConnection(const QString &n) { m_adoConnection = n; }
    QString DataBase() const { return m_dataBase; }
    void setDataBase(const QString &n) { m_dataBase = n; }
    QString Transaction() const { return m_transaction; }
    void setTransaction(const QString &n) { m_transaction = n; }
    // Columns that order the rows uniquely: the ORDER BY columns plus a key column. Pages are
    // read in this order. Without a paging key the rows are numbered in the statement's own
    // order and paged by that number, which reads the whole result per page: only for small
    // lookups.
    QStringList PagingKey() const { return m_pagingKey; }
    void setPagingKey(const QStringList &k) { m_pagingKey = k; }
    bool ParamCheck() const { return m_paramCheck; }
    void setParamCheck(bool c) { m_paramCheck = c; }

    void resolveReferences(const ComponentLookup &lookup) override;

    // Runs the query and reads its first page; the current row is the first one. Opening an
    // open query does nothing. Raises EDatabaseError on failure.
    void Open();
    void Close();
    bool Active() const { return m_active; }
    void setActive(bool a);
    // True when the open query has no row (no scan: the first page tells).
    bool IsEmpty() const;

    TParams *Params() { return &m_params; }
    TParam *ParamByName(const QString &name) { return m_params.ParamByName(name); }

    QList<TField *> Fields() const { return m_fields; }
    TField *FindField(const QString &fieldName) const;
    TField *FieldByName(const QString &fieldName) const;
    int fieldIndex(const TField *field) const
    {
        return m_fields.indexOf(const_cast<TField *>(field));
    }
    void addField(TField *field);

    // Current-row navigation over the first page and the pages after it.
    void First();
    void Next();
    bool Eof() const;
    const TRow &currentRow() const { return m_current; }
    void setCurrentRow(const TRow &row);

    TQueryDataset *Query() const { return m_dataset; }
    QSqlDatabase database() const;

    // Rows read per page; Open reads one page, Next the following ones when it gets there.
    static constexpr int DefaultPageSize = 200;
    int pageSize() const { return m_pageSize; }
    void setPageSize(int rows) { m_pageSize = rows > 0 ? rows : DefaultPageSize; }
    // Rows the open query holds in memory (at most one page).
    int loadedRowCount() const { return int(m_page.size()); }

private:
    friend class TQueryDataset;
    struct Plan;
    const Plan &plan();
    QList<TRow> readRows(const TRow *after, int limit, const QString &filterText,
                         int onlyField = -1);
    void removeField(QObject *field);
    std::unique_ptr<Plan> m_plan;
    QList<QPointer<TField>> m_autoFields; // made at Open for a query that declares none
    int m_pageSize = DefaultPageSize;
    bool m_empty = true;
    bool m_onFirstPage = true;
    QStringList m_sql;
    QString m_dataSourceName;
    QString m_adoConnection;
    QString m_dataBase;
    QString m_transaction;
    QStringList m_pagingKey;
    bool m_paramCheck = true;
    bool m_active = false;
    TParams m_params;
    QList<TField *> m_fields;
    TQueryDataset *m_dataset;
    QList<TRow> m_page;
    int m_pos = 0;
    TRow m_current;
    bool m_eof = true;
};

// Hands a query's rows to search buttons and pick lists.
class COMPONENTS_EXPORT TDataSource : public QObject, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString DataSet READ dataSetName WRITE setDataSetName)
public:
    explicit TDataSource(QObject *parent = nullptr);
    QString dataSetName() const { return m_dataSetName; }
    void setDataSetName(const QString &n) { m_dataSetName = n; }
    void resolveReferences(const ComponentLookup &lookup) override;
    TQueryDataset *DataSet() const { return m_dataSet; }
    void setDataSet(TQueryDataset *ds) { m_dataSet = ds; }

private:
    QString m_dataSetName;
    QPointer<TQueryDataset> m_dataSet;
};
