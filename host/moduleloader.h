#pragma once

#include <QLibrary>
#include <QString>

#include <map>
#include <memory>

// Loads screen modules on first use: resolves their entry points by plain name, runs their
// load hook once, calls IniProc at each use, and at the end runs the unload hook and unloads.
class ModuleLoader
{
public:
    explicit ModuleLoader(QString directory);
    ~ModuleLoader();

    // The library file of a module code (libKMB61200.so in the module directory).
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
    QString m_directory;
    std::map<QString, Module> m_modules;
};
