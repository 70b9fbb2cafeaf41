#include "ScrollingPane.h"

#include <QScrollArea>
#include <QVBoxLayout>

QWidget* AddScrollingBody(QWidget* pPane)
{
    auto* pScroll = new QScrollArea(pPane);
    pScroll->setWidgetResizable(true);
    pScroll->setFrameShape(QFrame::NoFrame);
    pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* pInner = new QWidget(pScroll);
    pScroll->setWidget(pInner);
    auto* pOuter = new QVBoxLayout(pPane);
    pOuter->setContentsMargins(0, 0, 0, 0);
    pOuter->addWidget(pScroll);
    return pInner;
}
