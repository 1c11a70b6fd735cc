#include "errors.h"

#include "failurepresenter.h"

#include <QApplication>
#include <QGridLayout>
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
        // The title of the window the message is about (the screen's caption), else the
        // application's name.
        QString title;
        for (QWidget *w = QApplication::focusWidget(); w && title.isEmpty(); w = w->parentWidget())
            title = w->windowTitle();
        if (title.isEmpty() && parent)
            title = parent->windowTitle();
        if (title.isEmpty())
            title = QApplication::applicationDisplayName();
        const QMessageBox::Icon icon = kind == Kind::Error     ? QMessageBox::Critical
                                       : kind == Kind::Warning ? QMessageBox::Warning
                                                               : QMessageBox::Information;
        QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
        // Wide enough for the whole title in the window frame (a narrow box elides it).
        const int titleWidth = box.fontMetrics().horizontalAdvance(title) * 5 / 4 + 120;
        if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
            grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                          grid->rowCount(), 0, 1, grid->columnCount());
        box.exec();
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
