#include "busycursor.h"

#include <QApplication>
#include <QCursor>

void BusyCursor::set()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void BusyCursor::restore()
{
    QApplication::restoreOverrideCursor();
}
