#pragma once

#include <QByteArray>
#include <QString>

// What the host remembers between runs, in the user's settings of the host application (never
// in a module): the main window's geometry and the folder criteria files were last opened from.
namespace UserSettings {
QByteArray windowGeometry();
void setWindowGeometry(const QByteArray &geometry);
QString criteriaFolder();
void setCriteriaFolder(const QString &folder);
} // namespace UserSettings
