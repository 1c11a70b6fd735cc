#include "moduleloader.h"

#include "errors.h"

#include <QCoreApplication>
#include <QDir>

ModuleLoader::ModuleLoader(const QStringList &directories)
    : m_directories(directories)
    , m_catalog(directories)
{}

ModuleLoader::ModuleLoader(const QString &directory)
    : ModuleLoader(QStringList{directory})
{}

ModuleLoader::~ModuleLoader()
{
    unloadAll();
}

QString ModuleLoader::libraryPath(const QString &code) const
{
    if (const ModuleManifest *manifest = m_catalog.module(code))
        return manifest->libraryPath;
    return QDir(m_directories.value(0)).filePath(QStringLiteral("lib%1.so").arg(code));
}

bool ModuleLoader::isLoaded(const QString &code) const
{
    return m_modules.count(code) > 0;
}

ModuleLoader::Module &ModuleLoader::load(const QString &code)
{
    auto it = m_modules.find(code);
    if (it != m_modules.end())
        return it->second;

    const QString path = libraryPath(code);
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load())
        throw EAppError(QCoreApplication::translate("ModuleLoader",
                                                    "Não foi possível carregar o módulo '%1': %2")
                            .arg(QDir::toNativeSeparators(path), library->errorString()));
    auto resolve = [&](const char *symbol) {
        QFunctionPointer fn = library->resolve(symbol);
        if (!fn) {
            library->unload();
            throw EAppError(
                QCoreApplication::translate("ModuleLoader", "O módulo '%1' não exporta '%2'.")
                    .arg(QDir::toNativeSeparators(path), QLatin1String(symbol)));
        }
        return fn;
    };
    Module module;
    auto initialize = reinterpret_cast<void (*)()>(resolve("Initialize"));
    module.iniProc = reinterpret_cast<void (*)()>(resolve("IniProc"));
    module.finalize = reinterpret_cast<void (*)()>(resolve("Finalize"));
    resolve("GetPackageInfoTable");
    if (const ModuleManifest *manifest = m_catalog.module(code)) {
        // What the manifest promises must be there.
        resolve(manifest->createFunction.toLatin1().constData());
        resolve(manifest->formVariable.toLatin1().constData());
    }
    initialize();
    module.library = std::move(library);
    return m_modules.emplace(code, std::move(module)).first->second;
}

void ModuleLoader::open(const QString &code)
{
    load(code).iniProc();
}

void ModuleLoader::unload(const QString &code)
{
    auto it = m_modules.find(code);
    if (it == m_modules.end())
        return;
    it->second.finalize();
    it->second.library->unload();
    m_modules.erase(it);
}

void ModuleLoader::unloadAll()
{
    while (!m_modules.empty())
        unload(m_modules.begin()->first);
}
