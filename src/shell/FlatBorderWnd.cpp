#include "FlatBorderWnd.h"

#include <QFrame>
#include <QPainter>
#include <QVBoxLayout>

CFlatBorderWnd::CFlatBorderWnd(QWidget* pParent) : QWidget(pParent)
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(1, 1, 1, 1);
    pLayout->setSpacing(0);
}

bool CFlatBorderWnd::Create(QWidget* pContent)
{
    if (m_pContent || !pContent)
        return false;
    m_pContent = pContent;
    if (auto* pFrame = qobject_cast<QFrame*>(pContent))
        pFrame->setFrameShape(QFrame::NoFrame);
    layout()->addWidget(pContent);
    setFocusProxy(pContent);
    return true;
}

void CFlatBorderWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}
