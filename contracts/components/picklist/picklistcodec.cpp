#include "picklistcodec.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <optional>

QString pickListToString(const QStringList &keys)
{
    if (keys.isEmpty())
        return {};
    QJsonArray array;
    for (const QString &key : keys)
        array.append(key);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

namespace {

// The keys of a well-formed pick-list string; nothing for the empty text or a malformed one.
std::optional<QStringList> parsePickList(const QString &list)
{
    if (list.isEmpty())
        return QStringList();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(list.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray array = doc.array();
    if (array.isEmpty())
        return std::nullopt; // nothing picked is the empty text, never "[]"
    QStringList keys;
    keys.reserve(array.size());
    for (const QJsonValue &value : array) {
        if (!value.isString())
            return std::nullopt;
        keys << value.toString();
    }
    return keys;
}

} // namespace

QStringList pickListKeys(const QString &list)
{
    return parsePickList(list).value_or(QStringList());
}

bool isPickListString(const QString &list)
{
    return parsePickList(list).has_value();
}
