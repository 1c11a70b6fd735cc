#pragma once

#include "modulecatalog.h"

#include <QLibrary>
#include <QString>

#include <map>
#include <memory>

// Loads screen modules on first use: resolves their entry points by plain name, runs their
// load hook once, calls IniProc at each use, and at the end runs the unload hook and unloads.
class ModuleLoader
{
public:
    // Modules are looked for in the directories in order, by their manifests.
    explicit ModuleLoader(const QStringList &directories);
    explicit ModuleLoader(const QString &directory);
    ~ModuleLoader();

    // The modules the directories hold.
    const ModuleCatalog &catalog() const { return m_catalog; }
    // The library file of a module code: the one its manifest names, else lib<code>.so in the
    // first directory.
    QString libraryPath(const QString &code) const;
    // Loads the module if needed and calls IniProc. Raises EAppError naming the file and the
    // symbol when the module or one of its entry points is missing; the host keeps running.
    void open(const QString &code);
    bool isLoaded(const QString &code) const;
    // Runs Finalize and unloads one module; the screens it made must already be gone.
    void unload(const QString &code);
    void unloadAll();

private:
    struct Module
    {
        std::unique_ptr<QLibrary> library;
        void (*iniProc)() = nullptr;
        void (*finalize)() = nullptr;
    };
    Module &load(const QString &code);
    QStringList m_directories;
    ModuleCatalog m_catalog;
    std::map<QString, Module> m_modules;
};
