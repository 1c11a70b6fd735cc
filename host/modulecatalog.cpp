#include "modulecatalog.h"

#include "errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString() || value.toString().trimmed().isEmpty())
        throw EAppError(
            QCoreApplication::translate("ModuleCatalog", "falta \"%1\".").arg(QLatin1String(key)));
    return value.toString().trimmed();
}

} // namespace

ModuleManifest ModuleCatalog::parse(const QByteArray &json, const QString &directory)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw EAppError(error.errorString());
    if (!doc.isObject())
        throw EAppError(QCoreApplication::translate("ModuleCatalog", "esperado um objeto JSON."));
    const QJsonObject object = doc.object();
    ModuleManifest m;
    m.code = text(object, "code");
    m.libraryPath = QDir(directory).absoluteFilePath(text(object, "library"));
    m.screenClass = text(object, "class");
    m.createFunction = text(object, "create");
    m.formVariable = text(object, "form");
    m.menuPath = text(object, "menu");
    for (const QJsonValue &report : object.value(QLatin1String("reports")).toArray())
        if (!report.toString().trimmed().isEmpty())
            m.reports << report.toString().trimmed().toUpper();
    return m;
}

ModuleCatalog::ModuleCatalog(const QStringList &directories)
{
    for (const QString &directory : directories) {
        const QDir dir(directory);
        const QStringList files =
            dir.entryList({QStringLiteral("*.module.json")}, QDir::Files, QDir::Name);
        for (const QString &name : files) {
            const QString path = dir.filePath(name);
            QFile file(path);
            try {
                if (!file.open(QIODevice::ReadOnly))
                    throw EAppError(file.errorString());
                ModuleManifest m = parse(file.read(64 * 1024), dir.absolutePath());
                if (!module(m.code))
                    m_modules << std::move(m);
            } catch (const EAppError &e) {
                m_errors << QCoreApplication::translate("ModuleCatalog",
                                                        "Manifesto de módulo '%1' ignorado: %2")
                                .arg(QDir::toNativeSeparators(path), e.message());
            }
        }
    }
}

const ModuleManifest *ModuleCatalog::module(const QString &code) const
{
    for (const ModuleManifest &m : m_modules)
        if (m.code.compare(code, Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

const ModuleManifest *ModuleCatalog::moduleOfReport(const QString &reportCode) const
{
    for (const ModuleManifest &m : m_modules)
        if (m.reports.contains(reportCode.toUpper()))
            return &m;
    return nullptr;
}
