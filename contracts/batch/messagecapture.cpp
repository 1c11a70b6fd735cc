#include "messagecapture.h"

MessageCapture::MessageCapture()
    : m_previous(messagePresenter())
{
    setMessagePresenter(this);
}

MessageCapture::~MessageCapture()
{
    setMessagePresenter(m_previous);
}

void MessageCapture::show(MessagePresenter::Kind kind, const QString &text)
{
    switch (kind) {
    case MessagePresenter::Kind::Error:
        m_messages << Message{Kind::Refusal, text};
        break;
    case MessagePresenter::Kind::Warning:
        m_messages << Message{Kind::Warning, text};
        break;
    case MessagePresenter::Kind::Information:
        m_messages << Message{Kind::Information, text};
        break;
    }
}

void MessageCapture::showFailure(const QString &text)
{
    m_messages << Message{Kind::Failure, text};
}

const MessageCapture::Message *MessageCapture::firstError() const
{
    for (const Message &m : m_messages)
        if (m.isError())
            return &m;
    return nullptr;
}
