#pragma once

#include "components_global.h"

#include <QString>

// The host's configuration (an INI file), read once by the host and handed down to whoever
// needs a value of it. Relative paths in the file are relative to the file.
class COMPONENTS_EXPORT HostSettings
{
public:
    // Reads the file; a missing file gives the defaults (with exists false).
    static HostSettings read(const QString &configFile);

    QString configFile; // absolute path, empty when none was given
    bool exists = false;

    // [Database]
    QString databaseDriver = QStringLiteral("QSQLITE");
    QString databaseName; // for SQLite an absolute path (empty: not configured)
    QString databaseHost;
    int databasePort = 0;
    QString databaseUser;
    QString databasePassword;
    QString databaseOptions;

    // [AppServer]
    QString appServerHost = QStringLiteral("127.0.0.1");
    int appServerPort = 8211;

    // [Reports] Directory: the report definitions, absolute (empty: not configured).
    QString reportsDirectory;
};
