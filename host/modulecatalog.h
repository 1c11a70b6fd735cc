#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a screen module says of itself in the manifest written beside it by the build
// (<code>.module.json): its library file, its entry points, the report codes its screen runs
// and the path of its menu entry.
struct ModuleManifest
{
    QString code;
    QString libraryPath; // absolute
    QString screenClass;
    QString createFunction;
    QString formVariable;
    QStringList reports;
    QString menuPath; // "Relatórios/Relação de Fornecedores do Orçamento"
};

// The screen modules found in a list of directories, by their manifests. A code found twice
// is taken from the first directory; an unreadable or malformed manifest is left out and
// named in errors().
class ModuleCatalog
{
public:
    ModuleCatalog() = default;
    explicit ModuleCatalog(const QStringList &directories);

    const QList<ModuleManifest> &modules() const { return m_modules; }
    const ModuleManifest *module(const QString &code) const;
    // The module whose screen runs the report code, or null.
    const ModuleManifest *moduleOfReport(const QString &reportCode) const;
    const QStringList &errors() const { return m_errors; }

    static ModuleManifest parse(const QByteArray &json, const QString &directory);

private:
    QList<ModuleManifest> m_modules;
    QStringList m_errors;
};
