#include "ReportDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// What a window manager's title bar and borders may add around the window.
constexpr int kFrameAllowance = 64;
constexpr int kMinWidth = 420;

} // namespace

CReportDlg::CReportDlg(const QString& strTitle, const QString& strSummary, const QStringList& lines,
                       QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(strTitle);
    auto* pIcon = new QLabel(this);
    const int nIconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    pIcon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(nIconSize));
    pIcon->setAlignment(Qt::AlignTop);
    m_pSummary = new QLabel(strSummary, this);
    m_pSummary->setWordWrap(true);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_pList = new QListWidget(this);
    m_pList->setUniformItemSizes(true);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->addItems(lines);
    m_pList->setAccessibleName(tr("文件"));
    m_pSummary->setBuddy(m_pList);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_pCopy = pButtons->addButton(tr("复制列表(&C)"), QDialogButtonBox::ActionRole);
    connect(m_pCopy, &QPushButton::clicked, this, &CReportDlg::OnCopy);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon);
    pTop->addWidget(m_pSummary, 1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addWidget(m_pList, 1);
    pLayout->addWidget(pButtons);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    FitScreen();
}

void CReportDlg::OnCopy()
{
    QStringList text{m_pSummary->text()};
    for (int i = 0; i < m_pList->count(); ++i)
        text << m_pList->item(i)->text();
    QApplication::clipboard()->setText(text.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void CReportDlg::FitScreen()
{
    QScreen* pScreen = parentWidget() ? parentWidget()->screen() : screen();
    const QRect available = pScreen->availableGeometry();
    const int nMaxWidth = available.width() - kFrameAllowance;
    const int nMaxHeight = available.height() - kFrameAllowance;

    // Wide enough for the longest line where the screen allows; a longer one scrolls.
    int nWidth = kMinWidth;
    const QFontMetrics metrics = m_pList->fontMetrics();
    for (int i = 0; i < m_pList->count(); ++i)
        nWidth = qMax(nWidth, metrics.horizontalAdvance(m_pList->item(i)->text()) + 48);
    nWidth = qMin(nWidth, qMin(nMaxWidth, available.width() * 3 / 4));

    const int nRows = qMax(1, m_pList->count());
    const int nRowHeight = qMax(metrics.height(), m_pList->sizeHintForRow(0));
    const int nListHeight = qMin(nRows, 20) * nRowHeight + 2 * m_pList->frameWidth() + 4;
    layout()->activate();
    const int nChrome = layout()->sizeHint().height() - m_pList->sizeHint().height();
    const int nHeight = qMin(nMaxHeight, nChrome + nListHeight);
    setMaximumSize(nMaxWidth, nMaxHeight);
    resize(nWidth, qMax(nHeight, minimumSizeHint().height()));
}
