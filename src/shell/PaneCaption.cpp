#include "PaneCaption.h"
#include "resources/Texts.h"

#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

CPaneCaption::CPaneCaption(QDockWidget* pPane)
    : QWidget(pPane), m_pPane(pPane), m_pIcon(new QLabel(this)),
      m_pTitle(new QLabel(pPane->windowTitle(), this)), m_btnFloat(new QToolButton(this)),
      m_btnClose(new QToolButton(this))
{
    m_pIcon->setPixmap(pPane->windowIcon().pixmap(16, 16));
    m_btnFloat->setIcon(style()->standardIcon(QStyle::SP_TitleBarNormalButton, nullptr, pPane));
    m_btnFloat->setToolTip(Texts::FloatPane());
    m_btnClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, pPane));
    m_btnClose->setToolTip(Texts::ClosePane());
    // Named for screen readers by what they do, described by the pane they do it to.
    m_btnFloat->setAccessibleName(Texts::FloatPane());
    m_btnClose->setAccessibleName(Texts::ClosePane());
    for (QToolButton* pButton : {m_btnFloat, m_btnClose}) {
        pButton->setAccessibleDescription(pPane->windowTitle());
        pButton->setAutoRaise(true);
        pButton->setIconSize(QSize(10, 10));
        pButton->setFocusPolicy(Qt::NoFocus);
    }

    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(3, 2, 2, 2);
    pLayout->setSpacing(4);
    pLayout->addWidget(m_pIcon);
    pLayout->addWidget(m_pTitle, 1);
    pLayout->addWidget(m_btnFloat);
    pLayout->addWidget(m_btnClose);

    connect(m_btnFloat, &QToolButton::clicked, this,
            [this] { m_pPane->setFloating(!m_pPane->isFloating()); });
    connect(m_btnClose, &QToolButton::clicked, m_pPane, &QDockWidget::close);
    connect(m_pPane, &QDockWidget::featuresChanged, this, &CPaneCaption::OnFeaturesChanged);
    connect(m_pPane, &QDockWidget::windowTitleChanged, m_pTitle, &QLabel::setText);
    OnFeaturesChanged();
}

void CPaneCaption::OnFeaturesChanged()
{
    m_btnFloat->setVisible(m_pPane->features() & QDockWidget::DockWidgetFloatable);
    m_btnClose->setVisible(m_pPane->features() & QDockWidget::DockWidgetClosable);
}
