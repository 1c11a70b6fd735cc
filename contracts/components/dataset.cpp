#include "dataset.h"

#include "errors.h"
#include "mask.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QLibrary>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVarLengthArray>

#include <cmath>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

// ---------------------------------------------------------------------------------------------
// Date-times as day counts

namespace {

const QDate &dayZero()
{
    static const QDate zero(1899, 12, 30);
    return zero;
}

} // namespace

TDateTime dateToDateTime(const QDate &date)
{
    return date.isValid() ? double(dayZero().daysTo(date)) : 0.0;
}

QDate dateTimeToDate(TDateTime value)
{
    if (!std::isfinite(value))
        return {};
    return dayZero().addDays(qint64(std::trunc(value)));
}

namespace {

// Milliseconds of the time of day held in the fraction of a day count.
int timeOfDayMs(TDateTime value)
{
    if (!std::isfinite(value))
        return 0;
    const double fraction = std::abs(value - std::trunc(value));
    return qBound(0, int(std::llround(fraction * 86400000.0)), 86399999);
}

TDateTime variantToDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return dateToDateTime(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dateToDateTime(dt.date()) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    }
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        for (const char *format : {"yyyy-MM-dd", "dd/MM/yyyy"}) {
            const QDate d = QDate::fromString(text, QLatin1String(format));
            if (d.isValid())
                return dateToDateTime(d);
        }
        const QDateTime dt = QDateTime::fromString(text, Qt::ISODate);
        if (dt.isValid())
            return dateToDateTime(dt.date()) + dt.time().msecsSinceStartOfDay() / 86400000.0;
        return 0.0;
    }
    default:
        return value.canConvert<double>() ? value.toDouble() : 0.0;
    }
}

bool isAsciiIdentStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

bool isAsciiIdentChar(QChar c)
{
    return isAsciiIdentStart(c) || (c.unicode() >= '0' && c.unicode() <= '9');
}

bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty() || !isAsciiIdentStart(name.at(0)))
        return false;
    for (QChar c : name)
        if (!isAsciiIdentChar(c))
            return false;
    return true;
}

// Walks an SQL text: quoted literals and identifiers are copied as they stand, comments become
// a blank, "::" casts stay, and every ":NAME" parameter is replaced by what onParam returns.
QString scanSql(const QString &sql, const std::function<QString(const QString &name)> &onParam)
{
    QString out;
    out.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote stays inside; an unterminated literal runs to the end.
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            qsizetype j = sql.indexOf(QLatin1Char('\n'), i);
            out += QLatin1Char(' ');
            i = j < 0 ? n : j;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype j = sql.indexOf(QLatin1String("*/"), i + 2);
            out += QLatin1Char(' ');
            i = j < 0 ? n : j + 2;
            continue;
        }
        if (c == QLatin1Char(':')) {
            if (i + 1 < n && sql.at(i + 1) == QLatin1Char(':')) {
                out += QLatin1String("::");
                i += 2;
                continue;
            }
            if (i + 1 < n && isAsciiIdentStart(sql.at(i + 1))) {
                qsizetype j = i + 1;
                while (j < n && isAsciiIdentChar(sql.at(j)))
                    ++j;
                out += onParam(sql.mid(i + 1, j - i - 1));
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

// The statement without its trailing top-level ORDER BY (the pages impose their own order).
// A text whose ORDER BY is followed by LIMIT, OFFSET or FETCH keeps it: the order then decides
// which rows belong to the result.
QString withoutTrailingOrderBy(const QString &cleaned)
{
    const qsizetype n = cleaned.size();
    qsizetype orderPos = -1;
    bool limitAfter = false;
    int depth = 0;
    qsizetype i = 0;
    auto wordAt = [&](qsizetype at, qsizetype *end) {
        qsizetype j = at;
        while (j < n && isAsciiIdentChar(cleaned.at(j)))
            ++j;
        *end = j;
        return cleaned.mid(at, j - at).toUpper();
    };
    while (i < n) {
        const QChar c = cleaned.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            qsizetype j = i + 1;
            while (j < n && cleaned.at(j) != c)
                ++j;
            i = j + 1;
            continue;
        }
        if (c == QLatin1Char('(')) {
            ++depth;
            ++i;
            continue;
        }
        if (c == QLatin1Char(')')) {
            --depth;
            ++i;
            continue;
        }
        if (isAsciiIdentStart(c) && (i == 0 || !isAsciiIdentChar(cleaned.at(i - 1)))) {
            qsizetype end = i;
            const QString word = wordAt(i, &end);
            if (depth == 0) {
                if (word == QLatin1String("ORDER")) {
                    qsizetype k = end;
                    while (k < n && cleaned.at(k).isSpace())
                        ++k;
                    qsizetype byEnd = k;
                    if (k < n && wordAt(k, &byEnd) == QLatin1String("BY")) {
                        orderPos = i;
                        limitAfter = false;
                        end = byEnd;
                    }
                } else if (orderPos >= 0 &&
                           (word == QLatin1String("LIMIT") || word == QLatin1String("OFFSET") ||
                            word == QLatin1String("FETCH"))) {
                    limitAfter = true;
                }
            }
            i = end;
            continue;
        }
        ++i;
    }
    QString base = orderPos >= 0 && !limitAfter ? cleaned.left(orderPos) : cleaned;
    // No statement terminator inside a subquery.
    qsizetype end = base.size();
    while (end > 0 && (base.at(end - 1).isSpace() || base.at(end - 1) == QLatin1Char(';')))
        --end;
    base.truncate(end);
    return base;
}

// A typed text searched for as it stands: '%', '_' and '\' lose their LIKE meaning.
QString likeContains(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += QLatin1Char('%');
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    escaped += QLatin1Char('%');
    return escaped;
}

const QString kSqlite = QStringLiteral("QSQLITE");

// The value a parameter sends: the empty text stays text, dates go as dates on servers and as
// 'YYYY-MM-DD' text on SQLite (which compares text), an unassigned parameter as NULL.
QVariant bindValueOf(const TParam *param, const QString &driver)
{
    if (!param || !param->isAssigned() || !param->AsVariant().isValid())
        return QVariant(QMetaType::fromType<QString>());
    const QVariant value = param->AsVariant();
    if (param->DataType() == TFieldType::ftDateTime) {
        const TDateTime t = param->AsDateTime();
        const QDate date = dateTimeToDate(t);
        const int ms = timeOfDayMs(t);
        if (ms == 0)
            return driver == kSqlite ? QVariant(date.toString(Qt::ISODate)) : QVariant(date);
        return QVariant(date.toString(Qt::ISODate) + QLatin1Char(' ') +
                        QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("HH:mm:ss")));
    }
    if (value.typeId() == QMetaType::QString && value.toString().isNull())
        return QVariant(QString(QLatin1String("")));
    return value;
}

QString sqlErrorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("erro desconhecido");
    return text;
}

// SQLite's lower() folds ASCII letters only, so "joão" would never find "JOÃO". The
// connection gets a lower() that folds every letter, through the SQLite library the Qt driver
// itself uses (resolved at run time, only when that library is already loaded).
namespace sqlitefn {

using Func = void (*)(void *context, int argc, void **argv);
using Destroy = void (*)(void *);
using CreateFunction = int (*)(void *db, const char *name, int argc, int textRep, void *app,
                               Func func, Func step, void (*final)(void *), Destroy destroy);
using ValueText = const unsigned char *(*)(void *value);
using ValueBytes = int (*)(void *value);
using ValueType = int (*)(void *value);
using ResultText = void (*)(void *context, const char *text, int bytes, Destroy destroy);
using ResultNull = void (*)(void *context);

constexpr int kUtf8 = 1;              // SQLITE_UTF8, the text as the database keeps it
constexpr int kDeterministic = 0x800; // SQLITE_DETERMINISTIC
constexpr int kNull = 5;              // SQLITE_NULL

struct Api
{
    CreateFunction create = nullptr;
    ValueText text = nullptr;
    ValueBytes bytes = nullptr;
    ValueType type = nullptr;
    ResultText result = nullptr;
    ResultNull resultNull = nullptr;
    bool ok() const { return create && text && bytes && type && result && resultNull; }
};

Api load()
{
    Api api;
#ifdef Q_OS_UNIX
    // Only the library that is already in the process: a driver with its own built-in SQLite
    // would not accept a handle of another copy.
    void *handle = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return api;
    api.create = reinterpret_cast<CreateFunction>(dlsym(handle, "sqlite3_create_function_v2"));
    api.text = reinterpret_cast<ValueText>(dlsym(handle, "sqlite3_value_text"));
    api.bytes = reinterpret_cast<ValueBytes>(dlsym(handle, "sqlite3_value_bytes"));
    api.type = reinterpret_cast<ValueType>(dlsym(handle, "sqlite3_value_type"));
    api.result = reinterpret_cast<ResultText>(dlsym(handle, "sqlite3_result_text"));
    api.resultNull = reinterpret_cast<ResultNull>(dlsym(handle, "sqlite3_result_null"));
    // The handle stays open for the process: the functions are registered on connections.
#endif
    return api;
}

const Api &api()
{
    static const Api instance = load();
    return instance;
}

void unicodeLower(void *context, int argc, void **argv)
{
    const Api &a = api();
    if (argc != 1 || a.type(argv[0]) == kNull) {
        a.resultNull(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(a.text(argv[0]));
    const int bytes = a.bytes(argv[0]);
    const auto transient = reinterpret_cast<Destroy>(static_cast<intptr_t>(-1)); // SQLITE_TRANSIENT
    // A filter scans every row: plain ASCII, most of the text, is folded without conversions.
    QVarLengthArray<char, 256> folded(bytes);
    bool ascii = true;
    for (int i = 0; i < bytes; ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        folded[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
    if (ascii) {
        a.result(context, folded.constData(), bytes, transient);
        return;
    }
    const QByteArray lowered = QString::fromUtf8(text, bytes).toLower().toUtf8();
    a.result(context, lowered.constData(), int(lowered.size()), transient);
}

void registerOn(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    void *sqlite = *static_cast<void *const *>(handle.constData());
    const Api &a = api();
    if (!sqlite || !a.ok())
        return;
    a.create(sqlite, "lower", 1, kUtf8 | kDeterministic, nullptr, &unicodeLower, nullptr, nullptr,
             nullptr);
}

} // namespace sqlitefn

} // namespace

// ---------------------------------------------------------------------------------------------
// Parameters

TParam::TParam(const QString &name, TFieldType type)
    : m_name(name)
    , m_dataType(type)
{}

void TParam::SetAsString(const QString &value)
{
    m_value = QVariant(value.isNull() ? QString(QLatin1String("")) : value);
    m_dataType = TFieldType::ftString;
    m_assigned = true;
}

QString TParam::AsString() const
{
    if (!m_value.isValid())
        return QString(QLatin1String(""));
    if (m_dataType == TFieldType::ftDateTime) {
        const TDateTime t = AsDateTime();
        const QDate date = dateTimeToDate(t);
        const int ms = timeOfDayMs(t);
        QString text = date.toString(QStringLiteral("dd/MM/yyyy"));
        if (ms != 0)
            text += QLatin1Char(' ') +
                    QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("HH:mm:ss"));
        return text;
    }
    const QString text = m_value.toString();
    return text.isNull() ? QString(QLatin1String("")) : text;
}

void TParam::SetAsVariant(const QVariant &value)
{
    m_assigned = true;
    if (!value.isValid()) {
        m_value = QVariant();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray: {
        const QString text = value.toString();
        m_value = QVariant(text.isNull() ? QString(QLatin1String("")) : text);
        m_dataType = TFieldType::ftString;
        return;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        m_dataType = TFieldType::ftInteger;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        m_dataType = TFieldType::ftFloat;
        break;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        m_dataType = TFieldType::ftDateTime;
        break;
    default:
        break;
    }
    m_value = value;
}

void TParam::SetAsDateTime(TDateTime value)
{
    m_value = QVariant(double(value));
    m_dataType = TFieldType::ftDateTime;
    m_assigned = true;
}

TDateTime TParam::AsDateTime() const
{
    return m_value.isValid() ? variantToDateTime(m_value) : 0.0;
}

void TParam::clear()
{
    m_value = QVariant();
    m_assigned = false;
}

TParams::TParams() = default;
TParams::~TParams() = default;

QStringList TParams::parseNames(const QString &sql)
{
    QStringList names;
    scanSql(sql, [&names](const QString &name) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
        return QString();
    });
    return names;
}

void TParams::setFromSql(const QString &sql)
{
    std::vector<std::unique_ptr<TParam>> items;
    for (const QString &name : parseNames(sql)) {
        auto old = std::find_if(m_items.begin(), m_items.end(), [&](const auto &p) {
            return p && p->Name().compare(name, Qt::CaseInsensitive) == 0;
        });
        if (old != m_items.end())
            items.push_back(std::move(*old));
        else
            items.push_back(std::make_unique<TParam>(name));
    }
    m_items = std::move(items);
}

TParam *TParams::Add(const QString &name, TFieldType type)
{
    if (TParam *existing = FindParam(name))
        return existing;
    m_items.push_back(std::make_unique<TParam>(name, type));
    return m_items.back().get();
}

TParam *TParams::FindParam(const QString &name) const
{
    for (const auto &p : m_items)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TParam *TParams::ParamByName(const QString &name) const
{
    if (TParam *p = FindParam(name))
        return p;
    throw EAppError(QStringLiteral("Parâmetro '%1' não encontrado.").arg(name));
}

QStringList TParams::names() const
{
    QStringList result;
    for (const auto &p : m_items)
        result << p->Name();
    return result;
}

bool ExistParam(const TParams *params, const QString &name)
{
    return params && params->FindParam(name) != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Fields

TField::TField(QObject *parent)
    : QObject(parent)
{}

TEventSource::BindResult TField::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnGetText"))
        return assign(OnGetText, handler);
    return BindResult::NoSuchEvent;
}

TADOIBQuery *TField::DataSet() const
{
    if (auto *query = qobject_cast<TADOIBQuery *>(m_dataSet.data()))
        return query;
    return qobject_cast<TADOIBQuery *>(parent());
}

QString TField::valueText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString(QLatin1String(""));
    QString text = value.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    text.truncate(end);
    return text;
}

QVariant TField::Value() const
{
    TADOIBQuery *query = DataSet();
    if (!query)
        return {};
    const int index = query->fieldIndex(this);
    const TRow &row = query->currentRow();
    if (index < 0 || index >= row.size())
        return {};
    const QVariant &value = row.at(index);
    if (value.typeId() == QMetaType::QString)
        return QVariant(valueText(value));
    return value;
}

QString TField::AsString() const
{
    return valueText(Value());
}

QString TField::displayText(const QVariant &value)
{
    QString text = valueText(value);
    if (OnGetText) {
        OnGetText(this, text, true);
        return text;
    }
    if (!m_editMask.isEmpty())
        return FormatMaskText(m_editMask, text);
    return text;
}

QString TField::DisplayText()
{
    return displayText(Value());
}

TADOIBStringField::TADOIBStringField(QObject *parent)
    : TField(parent)
{}

// ---------------------------------------------------------------------------------------------
// The shared data module

TConnectionObject::TConnectionObject(const QString &name, QObject *parent)
    : QObject(parent)
{
    setObjectName(name);
}

namespace {
QPointer<TdtmDBGeral> g_dtmDBGeral;
QAtomicInt g_connectionSerial;
} // namespace

TdtmDBGeral *dtmDBGeral()
{
    return g_dtmDBGeral.data();
}

void setDtmDBGeral(TdtmDBGeral *module)
{
    g_dtmDBGeral = module;
}

TdtmDBGeral::TdtmDBGeral(QObject *parent)
    : QObject(parent)
    , adcGeral(new TConnectionObject(QStringLiteral("adcGeral"), this))
    , dtbGeral(new TConnectionObject(QStringLiteral("dtbGeral"), this))
    , ibtGeral(new TConnectionObject(QStringLiteral("ibtGeral"), this))
    , m_connectionName(
          QStringLiteral("dtmDBGeral-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1)))
{
    setObjectName(QStringLiteral("dtmDBGeral"));
}

TdtmDBGeral::~TdtmDBGeral()
{
    if (g_dtmDBGeral == this)
        g_dtmDBGeral = nullptr;
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool TdtmDBGeral::open(const Settings &settings)
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_settings = settings;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, m_connectionName);
        if (!db.isValid()) {
            m_lastError = QStringLiteral("o driver %1 não está disponível").arg(settings.driver);
            return false;
        }
        db.setDatabaseName(settings.database);
        if (!settings.host.isEmpty())
            db.setHostName(settings.host);
        if (settings.port > 0)
            db.setPort(settings.port);
        if (!settings.user.isEmpty())
            db.setUserName(settings.user);
        if (!settings.password.isEmpty())
            db.setPassword(settings.password);
        // A server that does not answer must not freeze the screen for minutes; a locked
        // SQLite file is waited for a few seconds before giving up.
        QStringList options;
        if (!settings.options.isEmpty())
            options << settings.options;
        if (settings.driver == QLatin1String("QPSQL") &&
            !settings.options.contains(QLatin1String("connect_timeout")))
            options << QStringLiteral("connect_timeout=5");
        if (settings.driver == kSqlite &&
            !settings.options.contains(QLatin1String("QSQLITE_BUSY_TIMEOUT")))
            options << QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
        db.setConnectOptions(options.join(QLatin1Char(';')));
    }
    return openConnection();
}

bool TdtmDBGeral::openConnection()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isValid()) {
        m_lastError = QStringLiteral("o driver %1 não está disponível").arg(m_settings.driver);
        return false;
    }
    if (!db.open()) {
        m_lastError = sqlErrorText(db.lastError());
        return false;
    }
    if (m_settings.driver == kSqlite)
        sqlitefn::registerOn(db);
    m_lastError.clear();
    return true;
}

void TdtmDBGeral::close()
{
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::database(m_connectionName, false).close();
}

bool TdtmDBGeral::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) &&
           QSqlDatabase::database(m_connectionName, false).isOpen();
}

bool TdtmDBGeral::reopen()
{
    close();
    return openConnection();
}

QString TdtmDBGeral::description() const
{
    QString where;
    if (m_settings.driver == kSqlite || m_settings.host.isEmpty()) {
        where = QStringLiteral("\"%1\"").arg(m_settings.database);
    } else {
        where = QStringLiteral("\"%1\" em %2").arg(m_settings.database, m_settings.host);
        if (m_settings.port > 0)
            where += QStringLiteral(":%1").arg(m_settings.port);
    }
    return QStringLiteral("%1 (driver %2)").arg(where, m_settings.driver);
}

QString TdtmDBGeral::failureText(const QString &driverError) const
{
    return QStringLiteral("Erro no banco de dados %1: %2").arg(description(), driverError);
}

QSqlDatabase TdtmDBGeral::database()
{
    if (!QSqlDatabase::contains(m_connectionName))
        throw EDatabaseError(QStringLiteral("O banco de dados da aplicação não foi configurado."));
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen() && !openConnection())
        throw EDatabaseError(QStringLiteral("Não foi possível conectar ao banco de dados %1: %2")
                                 .arg(description(), m_lastError));
    return db;
}

QSqlDatabase TdtmDBGeral::liveDatabase()
{
    if (!connectionAlive() && !reopen())
        throw EDatabaseError(QStringLiteral("Não foi possível conectar ao banco de dados %1: %2")
                                 .arg(description(), m_lastError));
    return database();
}

bool TdtmDBGeral::connectionAlive()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        return false;
    if (m_settings.driver == kSqlite)
        return true; // a file connection is not lost while it is open
    QSqlQuery probe(db);
    return probe.exec(QStringLiteral("SELECT 1"));
}

void TdtmDBGeral::select(const QString &sql, const Bindings &bindings,
                         const std::function<void(const QSqlQuery &)> &onRow)
{
    for (int attempt = 0;; ++attempt) {
        QSqlError error;
        bool delivered = false;
        {
            QSqlDatabase db = database();
            QSqlQuery query(db);
            query.setForwardOnly(true);
            if (query.prepare(sql)) {
                for (const auto &binding : bindings)
                    query.bindValue(binding.first, binding.second);
                if (query.exec()) {
                    while (query.next()) {
                        delivered = true;
                        onRow(query);
                    }
                    if (!query.lastError().isValid())
                        return;
                }
            }
            error = query.lastError();
        }
        // A failure of a connection that was lost since its last use: open it again and run
        // the statement once more. Rows already handed out are never handed out twice.
        if (attempt == 0 && !delivered && !connectionAlive()) {
            if (reopen())
                continue;
            throw EDatabaseError(QStringLiteral("A conexão com o banco de dados %1 foi perdida e "
                                                "não pôde ser restabelecida: %2")
                                     .arg(description(), m_lastError));
        }
        throw EDatabaseError(failureText(sqlErrorText(error)));
    }
}

// ---------------------------------------------------------------------------------------------
// Queries

// What a query runs once open: its statement as the source of the pages, the columns that
// order the pages, and the values of its parameters.
struct TADOIBQuery::Plan
{
    QString source;
    QStringList keys;
    TdtmDBGeral::Bindings params;
};

TQueryDataset::TQueryDataset(TADOIBQuery *query)
    : QObject(query)
{}

TADOIBQuery *TQueryDataset::query() const
{
    return qobject_cast<TADOIBQuery *>(parent());
}

QList<TRow> TQueryDataset::fetchPage(const TRow *after, int limit, const QString &filterText) const
{
    TADOIBQuery *q = query();
    if (!q)
        throw EAppError(QStringLiteral("Conjunto de dados sem consulta."));
    if (!q->Active())
        q->Open();
    return q->readRows(after, limit, filterText);
}

QStringList TQueryDataset::fetchColumn(const QString &fieldName, const QString &filterText) const
{
    TADOIBQuery *q = query();
    if (!q)
        throw EAppError(QStringLiteral("Conjunto de dados sem consulta."));
    if (!q->Active())
        q->Open();
    const int index = q->fieldIndex(q->FieldByName(fieldName));
    // Read in large pages so a server never holds the whole result for one statement.
    constexpr int chunk = 5000;
    QStringList values;
    TRow last;
    bool first = true;
    for (;;) {
        const QList<TRow> rows = q->readRows(first ? nullptr : &last, chunk, filterText, index);
        for (const TRow &row : rows)
            values << TField::valueText(index < row.size() ? row.at(index) : QVariant());
        if (rows.size() < chunk)
            break;
        last = rows.constLast();
        first = false;
    }
    return values;
}

void TQueryDataset::setCurrentRow(const TRow &row)
{
    if (TADOIBQuery *q = query())
        q->setCurrentRow(row);
}

TADOIBQuery::TADOIBQuery(QObject *parent)
    : QObject(parent)
    , m_dataset(new TQueryDataset(this))
{
    m_dataset->setObjectName(QStringLiteral("Query"));
}

TADOIBQuery::~TADOIBQuery()
{
    // The fields die with their parent after this; they must not call back into a half-gone
    // query.
    for (TField *field : std::as_const(m_fields))
        disconnect(field, nullptr, this, nullptr);
    m_fields.clear();
}

void TADOIBQuery::setSQL(const QStringList &lines)
{
    if (m_active)
        Close();
    m_sql = lines;
    m_plan.reset();
    if (m_paramCheck)
        m_params.setFromSql(sqlText());
}

void TADOIBQuery::resolveReferences(const ComponentLookup &lookup)
{
    const auto checkConnection = [&](const QString &reference, const char *property) {
        if (reference.isEmpty())
            return;
        if (qobject_cast<TConnectionObject *>(lookup ? lookup(reference) : nullptr))
            return;
        // The shared data module may be created after the screen's layout was read: its
        // connection objects are accepted by name.
        static const QStringList known = {QStringLiteral("dtmDBGeral.adcGeral"),
                                          QStringLiteral("dtmDBGeral.dtbGeral"),
                                          QStringLiteral("dtmDBGeral.ibtGeral")};
        if (known.contains(reference))
            return;
        throw EAppError(QStringLiteral("Conexão '%1' desconhecida em %2.%3.")
                            .arg(reference, objectName(), QLatin1String(property)));
    };
    checkConnection(m_adoConnection, "ADOConnection");
    checkConnection(m_dataBase, "DataBase");
    checkConnection(m_transaction, "Transaction");
    if (!m_dataSourceName.isEmpty() && !qobject_cast<TDataSource *>(lookup(m_dataSourceName)))
        throw EAppError(QStringLiteral("Fonte de dados '%1' não encontrada para %2.")
                            .arg(m_dataSourceName, objectName()));
}

QSqlDatabase TADOIBQuery::database() const
{
    TdtmDBGeral *dm = dtmDBGeral();
    if (!dm)
        throw EDatabaseError(QStringLiteral("O módulo de dados da aplicação não foi criado."));
    return dm->database();
}

const TADOIBQuery::Plan &TADOIBQuery::plan()
{
    if (m_plan)
        return *m_plan;
    TdtmDBGeral *dm = dtmDBGeral();
    if (!dm)
        throw EDatabaseError(QStringLiteral("O módulo de dados da aplicação não foi criado."));
    const QString driver = dm->settings().driver;

    auto plan = std::make_unique<Plan>();
    // Every parameter occurrence gets its own placeholder: drivers differ in how they treat a
    // name used twice or spelt in another case.
    int occurrence = 0;
    const QString cleaned = scanSql(sqlText(), [&](const QString &name) {
        if (!m_paramCheck)
            return QLatin1Char(':') + name;
        const QString placeholder = QStringLiteral(":qd_p%1").arg(occurrence++);
        plan->params << qMakePair(placeholder, bindValueOf(m_params.FindParam(name), driver));
        return placeholder;
    });
    const QString base = withoutTrailingOrderBy(cleaned);
    if (base.trimmed().isEmpty())
        throw EAppError(QStringLiteral("A consulta %1 não tem instrução SQL.").arg(objectName()));

    for (const QString &key : m_pagingKey) {
        const QString column = key.trimmed();
        if (!isPlainIdentifier(column))
            throw EAppError(
                QStringLiteral("Coluna de paginação inválida '%1' em %2.").arg(key, objectName()));
        plan->keys << column;
    }
    if (plan->keys.isEmpty()) {
        // No key: the rows are numbered in the statement's own order and paged by that number.
        // Fine for small lookups; large tables declare a paging key.
        QString full = cleaned;
        qsizetype end = full.size();
        while (end > 0 && (full.at(end - 1).isSpace() || full.at(end - 1) == QLatin1Char(';')))
            --end;
        full.truncate(end);
        plan->source =
            QStringLiteral("SELECT qd_n.*, ROW_NUMBER() OVER () AS qd_rn FROM (%1) qd_n").arg(full);
        plan->keys << QStringLiteral("qd_rn");
    } else {
        plan->source = base;
    }
    m_plan = std::move(plan);
    return *m_plan;
}

QList<TRow> TADOIBQuery::readRows(const TRow *after, int limit, const QString &filterText,
                                  int onlyField)
{
    Q_UNUSED(onlyField) // rows always carry every field, so positions stay those of the fields
    if (limit <= 0)
        return {};
    TdtmDBGeral *dm = dtmDBGeral();
    if (!dm)
        throw EDatabaseError(QStringLiteral("O módulo de dados da aplicação não foi criado."));
    const Plan &p = plan();

    // Where each paging key sits in a row: in its field, or after the fields.
    const auto keyPositions = [&] {
        QList<int> positions;
        int hidden = 0;
        for (const QString &key : p.keys) {
            int position = -1;
            for (int i = 0; i < m_fields.size(); ++i)
                if (m_fields.at(i)->FieldName().compare(key, Qt::CaseInsensitive) == 0) {
                    position = i;
                    break;
                }
            positions << (position >= 0 ? position : int(m_fields.size()) + hidden++);
        }
        return positions;
    };

    TdtmDBGeral::Bindings bindings = p.params;
    QStringList where;
    if (!filterText.isEmpty()) {
        QStringList any;
        const QString pattern = likeContains(filterText);
        for (TField *field : std::as_const(m_fields)) {
            if (!field->Visible() || !isPlainIdentifier(field->FieldName()))
                continue;
            const QString placeholder = QStringLiteral(":qd_f%1").arg(any.size());
            any << QStringLiteral("lower(CAST(%1 AS TEXT)) LIKE lower(%2) ESCAPE '\\'")
                       .arg(field->FieldName(), placeholder);
            bindings << qMakePair(placeholder, QVariant(pattern));
        }
        if (any.isEmpty())
            return {}; // nothing shown, nothing can contain the text
        where << QLatin1Char('(') + any.join(QLatin1String(" OR ")) + QLatin1Char(')');
    }
    if (after) {
        const QList<int> positions = keyPositions();
        QStringList placeholders;
        for (int k = 0; k < p.keys.size(); ++k) {
            const int position = positions.at(k);
            if (position >= after->size())
                throw EAppError(QStringLiteral("Linha sem a chave de paginação '%1' em %2.")
                                    .arg(p.keys.at(k), objectName()));
            placeholders << QStringLiteral(":qd_k%1").arg(k);
            bindings << qMakePair(placeholders.constLast(), after->at(position));
        }
        if (p.keys.size() == 1)
            where << QStringLiteral("%1 > %2").arg(p.keys.first(), placeholders.first());
        else
            where << QStringLiteral("(%1) > (%2)")
                         .arg(p.keys.join(QLatin1String(", ")),
                              placeholders.join(QLatin1String(", ")));
    }
    QString sql = QStringLiteral("SELECT * FROM (%1) qd_q").arg(p.source);
    if (!where.isEmpty())
        sql += QLatin1String(" WHERE ") + where.join(QLatin1String(" AND "));
    sql += QLatin1String(" ORDER BY ") + p.keys.join(QLatin1String(", ")) +
           QStringLiteral(" LIMIT %1").arg(limit);

    QList<TRow> rows;
    QList<int> columns;       // result column of each field
    QList<int> hiddenColumns; // result column of each key that is no field
    bool mapped = false;
    dm->select(sql, bindings, [&](const QSqlQuery &query) {
        if (!mapped) {
            const QSqlRecord record = query.record();
            if (m_fields.isEmpty()) {
                // A query that declares no field shows every column of its result.
                for (int c = 0; c < record.count(); ++c) {
                    if (record.fieldName(c).compare(QLatin1String("qd_rn"), Qt::CaseInsensitive) ==
                        0)
                        continue;
                    auto *field = new TADOIBStringField(this);
                    field->setObjectName(objectName() + record.fieldName(c).toUpper());
                    field->setFieldName(record.fieldName(c).toUpper());
                    m_autoFields << field;
                    addField(field);
                }
            }
            for (TField *field : std::as_const(m_fields)) {
                const int column = record.indexOf(field->FieldName());
                if (column < 0)
                    throw EAppError(QStringLiteral("Campo '%1' não encontrado no resultado de %2.")
                                        .arg(field->FieldName(), objectName()));
                columns << column;
            }
            const QList<int> positions = keyPositions();
            for (int k = 0; k < p.keys.size(); ++k)
                if (positions.at(k) >= m_fields.size())
                    hiddenColumns << record.indexOf(p.keys.at(k));
            mapped = true;
        }
        TRow row;
        row.reserve(columns.size() + hiddenColumns.size());
        for (int column : std::as_const(columns))
            row << query.value(column);
        for (int column : std::as_const(hiddenColumns))
            row << query.value(column);
        rows << row;
    });
    return rows;
}

void TADOIBQuery::Open()
{
    if (m_active)
        return;
    // Leftovers of a failed open: columns are found again from the result.
    for (const QPointer<TField> &field : std::as_const(m_autoFields))
        delete field.data();
    m_autoFields.clear();
    m_plan.reset();
    const QList<TRow> rows = readRows(nullptr, m_pageSize, QString());
    m_page = rows;
    m_pos = 0;
    m_onFirstPage = true;
    m_empty = rows.isEmpty();
    m_eof = m_empty;
    m_current = m_empty ? TRow() : rows.constFirst();
    m_active = true;
}

void TADOIBQuery::Close()
{
    m_active = false;
    m_page.clear();
    m_current.clear();
    m_pos = 0;
    m_eof = true;
    m_empty = true;
    m_onFirstPage = true;
    m_plan.reset();
    for (const QPointer<TField> &field : std::as_const(m_autoFields))
        delete field.data();
    m_autoFields.clear();
}

void TADOIBQuery::setActive(bool a)
{
    if (a)
        Open();
    else
        Close();
}

bool TADOIBQuery::IsEmpty() const
{
    return !m_active || m_empty;
}

TField *TADOIBQuery::FindField(const QString &fieldName) const
{
    for (TField *field : m_fields)
        if (field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return field;
    return nullptr;
}

TField *TADOIBQuery::FieldByName(const QString &fieldName) const
{
    if (TField *field = FindField(fieldName))
        return field;
    throw EAppError(
        QStringLiteral("Campo '%1' não encontrado em %2.").arg(fieldName, objectName()));
}

void TADOIBQuery::addField(TField *field)
{
    if (!field || m_fields.contains(field))
        return;
    m_fields << field;
    field->m_dataSet = this;
    connect(field, &QObject::destroyed, this, &TADOIBQuery::removeField);
}

void TADOIBQuery::removeField(QObject *field)
{
    const qsizetype removed =
        m_fields.removeIf([field](TField *f) { return static_cast<QObject *>(f) == field; });
    // A row no longer matches the fields once one is gone.
    if (removed > 0 && m_active)
        Close();
}

void TADOIBQuery::First()
{
    if (!m_active)
        return;
    if (!m_onFirstPage) {
        m_page = readRows(nullptr, m_pageSize, QString());
        m_onFirstPage = true;
    }
    m_pos = 0;
    m_eof = m_page.isEmpty();
    m_current = m_eof ? TRow() : m_page.constFirst();
}

void TADOIBQuery::Next()
{
    if (!m_active || m_eof)
        return;
    if (m_pos + 1 < m_page.size()) {
        ++m_pos;
        m_current = m_page.at(m_pos);
        return;
    }
    // At the end of a page: a short page was the last one, a full one may have a successor.
    if (m_page.size() < m_pageSize) {
        m_eof = true;
        return;
    }
    const TRow last = m_page.constLast();
    const QList<TRow> more = readRows(&last, m_pageSize, QString());
    if (more.isEmpty()) {
        m_eof = true;
        return;
    }
    m_page = more;
    m_pos = 0;
    m_onFirstPage = false;
    m_current = m_page.constFirst();
}

bool TADOIBQuery::Eof() const
{
    return !m_active || m_eof;
}

void TADOIBQuery::setCurrentRow(const TRow &row)
{
    m_current = row;
}

// ---------------------------------------------------------------------------------------------
// Data sources

TDataSource::TDataSource(QObject *parent)
    : QObject(parent)
{}

void TDataSource::resolveReferences(const ComponentLookup &lookup)
{
    if (m_dataSetName.isEmpty())
        return;
    QObject *object = lookup ? lookup(m_dataSetName) : nullptr;
    if (auto *dataset = qobject_cast<TQueryDataset *>(object)) {
        m_dataSet = dataset;
        return;
    }
    if (auto *query = qobject_cast<TADOIBQuery *>(object)) {
        m_dataSet = query->Query();
        return;
    }
    // "qryX.Query" when the lookup knows only plain names.
    const QString suffix = QStringLiteral(".Query");
    if (lookup && m_dataSetName.endsWith(suffix)) {
        if (auto *query =
                qobject_cast<TADOIBQuery *>(lookup(m_dataSetName.chopped(suffix.size())))) {
            m_dataSet = query->Query();
            return;
        }
    }
    throw EAppError(QStringLiteral("Conjunto de dados '%1' não encontrado para %2.")
                        .arg(m_dataSetName, objectName()));
}
