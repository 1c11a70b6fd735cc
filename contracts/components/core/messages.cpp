#include "messages.h"

#include "errors.h"

#include <QCoreApplication>

TMessages::TMessages(QObject *parent)
    : QObject(parent)
{}

QString TMessages::Msg(const QString &key) const
{
    // The key ends at the first '|'; keys may hold any other character ("NRINI>NRFIN").
    for (const QString &entry : m_messages) {
        const qsizetype bar = entry.indexOf(QLatin1Char('|'));
        if (bar > 0 && QStringView(entry).left(bar) == key)
            return entry.mid(bar + 1);
    }
    throw EAppError(QCoreApplication::translate(
                        "TMessages", "Mensagem '%1' não encontrada na tabela de mensagens.")
                        .arg(key));
}

QString FormatMsg(const QString &text, const QStringList &args)
{
    QString result;
    qsizetype from = 0;
    int next = 0;
    while (true) {
        const qsizetype at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0 || next >= args.size()) {
            result += QStringView(text).mid(from);
            return result;
        }
        result += QStringView(text).mid(from, at - from);
        result += args.at(next++);
        from = at + 2;
    }
}
