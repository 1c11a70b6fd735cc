#include "application.h"

#include "errors.h"
#include "layoutloader.h"
#include "tform.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
TApplication *g_application = nullptr;
}

TApplication::TApplication(QObject *parent)
    : QObject(parent)
{
    g_application = this;
    installFontSubstitutions();
}

TApplication::~TApplication()
{
    destroyForms();
    if (g_application == this)
        g_application = nullptr;
}

TApplication *TApplication::instance()
{
    return g_application;
}

TForm *TApplication::adopt(TForm *form)
{
    try {
        form->createFromLayouts();
    } catch (...) {
        delete form;
        throw;
    }
    m_forms << form;
    return form;
}

void TApplication::showForm(TForm *form)
{
    if (!form)
        return;
    if (m_mdiArea) {
        auto *sub = qobject_cast<QMdiSubWindow *>(form->parentWidget());
        const bool first = !sub;
        if (!sub) {
            // Fixed single border: a title with minimise and close, no maximise, no resizing.
            sub = m_mdiArea->addSubWindow(form, Qt::SubWindow | Qt::CustomizeWindowHint |
                                                    Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                    Qt::WindowMinimizeButtonHint |
                                                    Qt::WindowCloseButtonHint);
            // The form decides in its close handling whether it is destroyed.
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            sub->setWindowIcon(form->windowIcon());
            sub->adjustSize();
            sub->setFixedSize(sub->sizeHint());
        }
        form->show();
        sub->show();
        if (first) {
            // The designed position, moved just enough for the whole window to lie inside the
            // area (the area places new windows on show); top left when it cannot fit.
            const QSize room = m_mdiArea->viewport()->size();
            QPoint pos = form->designedPosition();
            if (sub->width() > room.width() || sub->height() > room.height()) {
                pos = QPoint(0, 0); // scroll bars take it from there
            } else {
                pos.setX(qMax(0, qMin(pos.x(), room.width() - sub->width())));
                pos.setY(qMax(0, qMin(pos.y(), room.height() - sub->height())));
            }
            sub->move(pos);
        }
        if (sub->isMinimized())
            sub->showNormal();
        sub->raise();
        m_mdiArea->setActiveSubWindow(sub);
        form->activateWindow();
    } else {
        form->show();
        form->raise();
        form->activateWindow();
    }
}

void TApplication::destroyForms()
{
    const auto forms = m_forms;
    m_forms.clear();
    for (const QPointer<TForm> &form : forms) {
        if (!form)
            continue;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(form->parentWidget()))
            delete sub;
        else
            delete form.data();
    }
}

QList<TForm *> TApplication::forms() const
{
    QList<TForm *> alive;
    for (const auto &f : m_forms)
        if (f)
            alive << f.data();
    return alive;
}
