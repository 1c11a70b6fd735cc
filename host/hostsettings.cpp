#include "hostsettings.h"

#include <QDir>
#include <QSettings>

namespace {
const QString kGeometry = QStringLiteral("MainWindow/Geometry");
const QString kCriteriaFolder = QStringLiteral("Criteria/Folder");
} // namespace

QByteArray HostSettings::windowGeometry()
{
    return QSettings().value(kGeometry).toByteArray();
}

void HostSettings::setWindowGeometry(const QByteArray &geometry)
{
    QSettings().setValue(kGeometry, geometry);
}

QString HostSettings::criteriaFolder()
{
    const QString folder = QSettings().value(kCriteriaFolder).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

void HostSettings::setCriteriaFolder(const QString &folder)
{
    QSettings().setValue(kCriteriaFolder, folder);
}
