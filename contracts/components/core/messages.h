#pragma once

#include "component.h"

#include <QObject>
#include <QStringList>

// A table of message texts by key; each entry is "KEY|text".
class COMPONENTS_EXPORT TMessages : public QObject, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QStringList Messages READ Messages WRITE setMessages)
public:
    explicit TMessages(QObject *parent = nullptr);
    QStringList Messages() const { return m_messages; }
    void setMessages(const QStringList &entries) { m_messages = entries; }
    // The text of the key; raises EAppError naming the key when the table lacks it.
    QString Msg(const QString &key) const;

private:
    QStringList m_messages;
};

// Fills the "%s" placeholders of a message text in order; placeholders without an argument
// stay as they are, and "%s" inside an argument is never expanded again.
COMPONENTS_EXPORT QString FormatMsg(const QString &text, const QStringList &args);
