#include "StatusOutcome.h"

#include <QStatusBar>
#include <QWidget>

void CStatusOutcome::Show(QWidget* pFrom, const QString& strText)
{
    if (!pFrom)
        return;
    QWidget* pWindow = pFrom->window();
    auto* pBar = pWindow->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    if (!pBar)
        pBar = pWindow->findChild<QStatusBar*>();
    if (pBar)
        pBar->showMessage(strText, kShownMs);
}
