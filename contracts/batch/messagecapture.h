#pragma once

#include "batch_global.h"
#include "failurepresenter.h"

#include <QList>
#include <QString>

// Records the messages of a run without a window instead of showing boxes, each with its kind:
// a refusal (an error the screen shows, MensErro) or a failure (an exception reported at the
// event boundary: the database, a file, a report definition). Installed over the presenter in
// use for its lifetime.
class BATCH_EXPORT MessageCapture final : public FailurePresenter
{
public:
    enum class Kind { Refusal, Failure, Warning, Information };
    struct Message
    {
        Kind kind;
        QString text;
        bool isError() const { return kind == Kind::Refusal || kind == Kind::Failure; }
    };

    MessageCapture();
    ~MessageCapture() override;
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    void show(MessagePresenter::Kind kind, const QString &text) override;
    void showFailure(const QString &text) override;

    const QList<Message> &messages() const { return m_messages; }
    // The first refusal or failure, or null.
    const Message *firstError() const;

private:
    MessagePresenter *m_previous;
    QList<Message> m_messages;
};
