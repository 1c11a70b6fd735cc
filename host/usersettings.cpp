#include "usersettings.h"

#include <QDir>
#include <QSettings>

namespace {
const QString kGeometry = QStringLiteral("MainWindow/Geometry");
const QString kCriteriaFolder = QStringLiteral("Criteria/Folder");
} // namespace

QByteArray UserSettings::windowGeometry()
{
    return QSettings().value(kGeometry).toByteArray();
}

void UserSettings::setWindowGeometry(const QByteArray &geometry)
{
    QSettings().setValue(kGeometry, geometry);
}

QString UserSettings::criteriaFolder()
{
    const QString folder = QSettings().value(kCriteriaFolder).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

void UserSettings::setCriteriaFolder(const QString &folder)
{
    QSettings().setValue(kCriteriaFolder, folder);
}
