#include "errors.h"

#include "failurepresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

EAppError::EAppError(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{}

MessagePresenter::~MessagePresenter() = default;

FailurePresenter::~FailurePresenter() = default;

namespace {

class MessageBoxPresenter final : public MessagePresenter
{
public:
    void show(Kind kind, const QString &text) override
    {
        QWidget *parent = QApplication::activeWindow();
        const QString title = QApplication::applicationDisplayName();
        switch (kind) {
        case Kind::Error:
            QMessageBox::critical(parent, title, text);
            break;
        case Kind::Warning:
            QMessageBox::warning(parent, title, text);
            break;
        case Kind::Information:
            QMessageBox::information(parent, title, text);
            break;
        }
    }
};

MessageBoxPresenter g_messageBoxPresenter;
MessagePresenter *g_presenter = nullptr;

} // namespace

MessagePresenter *messagePresenter()
{
    return g_presenter ? g_presenter : &g_messageBoxPresenter;
}

void setMessagePresenter(MessagePresenter *presenter)
{
    g_presenter = presenter;
}

void MensErro(const QString &text, bool Abort)
{
    messagePresenter()->show(MessagePresenter::Kind::Error, text);
    if (Abort)
        throw EAbort{};
}

void reportException(std::exception_ptr error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        return;
    } catch (const EAppError &e) {
        text = e.message();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QCoreApplication::translate("Errors", "Erro inesperado.");
    }
    try {
        MessagePresenter *presenter = messagePresenter();
        if (auto *failures = dynamic_cast<FailurePresenter *>(presenter))
            failures->showFailure(text);
        else
            presenter->show(MessagePresenter::Kind::Error, text);
    } catch (...) {
        // A presenter that fails has nobody left to report to.
    }
}

bool guarded(const std::function<void()> &f) noexcept
{
    try {
        f();
        return true;
    } catch (const EAbort &) {
        return false;
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}
