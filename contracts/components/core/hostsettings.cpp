#include "hostsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

HostSettings HostSettings::read(const QString &configFile)
{
    HostSettings s;
    if (configFile.isEmpty())
        return s;
    const QFileInfo info(configFile);
    s.configFile = info.absoluteFilePath();
    s.exists = info.isFile();
    const QDir base = info.absoluteDir();
    auto resolved = [&](const QString &path) {
        return path.isEmpty() || !QDir::isRelativePath(path) ? path : base.absoluteFilePath(path);
    };

    QSettings ini(s.configFile, QSettings::IniFormat);
    s.databaseDriver = ini.value(QStringLiteral("Database/Driver"), s.databaseDriver).toString();
    s.databaseName = ini.value(QStringLiteral("Database/Name")).toString();
    if (s.databaseDriver == QLatin1String("QSQLITE"))
        s.databaseName = resolved(s.databaseName);
    s.databaseHost = ini.value(QStringLiteral("Database/Host")).toString();
    s.databasePort = ini.value(QStringLiteral("Database/Port"), 0).toInt();
    s.databaseUser = ini.value(QStringLiteral("Database/User")).toString();
    s.databasePassword = ini.value(QStringLiteral("Database/Password")).toString();
    s.databaseOptions = ini.value(QStringLiteral("Database/Options")).toString();

    s.appServerHost = ini.value(QStringLiteral("AppServer/Host"), s.appServerHost).toString();
    s.appServerPort = ini.value(QStringLiteral("AppServer/Port"), s.appServerPort).toInt();

    s.reportsDirectory = resolved(ini.value(QStringLiteral("Reports/Directory")).toString());

    return s;
}
