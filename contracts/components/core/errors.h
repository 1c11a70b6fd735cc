#pragma once

#include "components_global.h"

#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QWidget;

// The silent abort: ends the current user action after a refusal was shown. It is not a
// std::exception on purpose, so a catch of std::exception never swallows it by accident.
struct COMPONENTS_EXPORT EAbort
{
};

// Any failure of the application's own code that the user should read (database errors,
// malformed report definitions, unknown message keys, ...).
class COMPONENTS_EXPORT EAppError : public std::runtime_error
{
public:
    explicit EAppError(const QString &message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

class COMPONENTS_EXPORT EDatabaseError : public EAppError
{
public:
    using EAppError::EAppError;
};

// Shows messages to the user. The application uses message boxes; tests install a recorder.
class COMPONENTS_EXPORT MessagePresenter
{
public:
    enum class Kind { Error, Warning, Information };
    virtual ~MessagePresenter();
    virtual void show(Kind kind, const QString &text) = 0;
};

// The presenter in use; never null. Setting nullptr restores the message-box presenter.
COMPONENTS_EXPORT MessagePresenter *messagePresenter();
COMPONENTS_EXPORT void setMessagePresenter(MessagePresenter *presenter);

// Shows the text as an error; with Abort true it then ends the user's action with EAbort.
COMPONENTS_EXPORT void MensErro(const QString &text, bool Abort);

// Reports an exception caught at a boundary the way the application's error handler does.
COMPONENTS_EXPORT void reportException(std::exception_ptr error);

// The one boundary between Qt and handlers: runs f, swallows the silent abort and reports
// any other exception. Returns false when f did not complete.
COMPONENTS_EXPORT bool guarded(const std::function<void()> &f) noexcept;
