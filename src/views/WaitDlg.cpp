#include "WaitDlg.h"

#include "widgets/DialogUnits.h"
#include "resources/Texts.h"

#include <QPainter>

namespace {
// Template units ("Arial" 10): the original 269 x 49 and, below it, our progress lines.
constexpr int kWidth = 269;
constexpr int kHeight = 100;
constexpr int kBarRange = 1000;
} // namespace

CWaitDlg::CWaitDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::FramelessWindowHint), m_stcWait(Texts::PleaseWait(), this),
      m_animWait(this), m_stcFile(this), m_stcPlace(this), m_prgFile(this), m_stcBytes(this),
      m_stcBackup(this), m_btnCancel(Texts::CancelButton(), this),
      m_movWait(QStringLiteral(":/views/wait.gif"))
{
    setModal(false);
    const CDialogUnits units(QStringLiteral("Arial"), 10);
    setFont(units.Font());
    setFixedSize(units.ToPixels(QSize(kWidth, kHeight)));
    units.Place(&m_stcWait, 7, 23, 58, 19);
    units.Place(&m_animWait, 63, 7, 173, 35);
    units.Place(&m_stcFile, 7, 48, 200, 10);
    units.Place(&m_stcPlace, 207, 48, 55, 10);
    units.Place(&m_prgFile, 7, 60, 255, 9);
    units.Place(&m_stcBytes, 7, 71, 255, 10);
    units.Place(&m_stcBackup, 7, 84, 200, 10);
    units.Place(&m_btnCancel, 212, 82, 50, 14);
    connect(&m_btnCancel, &QPushButton::clicked, this, &CWaitDlg::cancelRequested);

    m_stcWait.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_animWait.setAlignment(Qt::AlignCenter);
    m_movWait.setCacheMode(QMovie::CacheAll);
    if (m_movWait.isValid())
        m_animWait.setMovie(&m_movWait);
    m_stcFile.setTextFormat(Qt::PlainText);
    m_stcPlace.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_prgFile.setTextVisible(false);
    // No caption to read: a screen reader takes these names.
    setAccessibleName(Texts::WaitDialogName());
    m_prgFile.setAccessibleName(Texts::FileProgressName());
    SetProgressFile(QString(), 0, 0);
}

CWaitDlg::~CWaitDlg() = default;

void CWaitDlg::Open(QWidget* pOwner)
{
    if (isVisible())
        return;
    QWidget* pWindow = pOwner ? pOwner->window() : nullptr;
    if (parentWidget() != pWindow)
        setParent(pWindow, windowFlags()); // hides the dialog; it is shown below
    SetProgressFile(QString(), 0, 0);
    SetBackupProgress(QString());
    if (pWindow) {
        const QPoint centre = pWindow->mapToGlobal(pWindow->rect().center());
        move(centre - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow(); // so that Esc reaches it
}

void CWaitDlg::Close()
{
    if (isVisible())
        QDialog::reject();
}

void CWaitDlg::SetProgressFile(const QString& strName, int nIndex, int nCount)
{
    // A long name is shortened in the middle, where names differ least.
    m_stcFile.setText(
        m_stcFile.fontMetrics().elidedText(strName, Qt::ElideMiddle, m_stcFile.width()));
    m_stcFile.setToolTip(strName);
    m_stcPlace.setText(nIndex > 0 ? Texts::PlaceOfCount(nIndex, nCount) : QString());
    m_prgFile.setRange(0, kBarRange);
    m_prgFile.setValue(0);
    m_stcBytes.clear();
}

void CWaitDlg::SetBackupProgress(const QString& strText)
{
    m_stcBackup.setText(strText);
}

void CWaitDlg::reject()
{
    emit cancelRequested();
}

void CWaitDlg::SetProgressBytes(qint64 nDone, qint64 nTotal, qint64 nBytesPerSecond)
{
    m_stcBytes.setText(Texts::FileProgress(nDone, nTotal, nBytesPerSecond));
    if (nTotal < 0) {
        m_prgFile.setRange(0, 0);
        return;
    }
    m_prgFile.setRange(0, kBarRange);
    const qint64 nDoneClamped = qBound<qint64>(0, nDone, nTotal);
    m_prgFile.setValue(nTotal == 0 ? kBarRange
                                   : static_cast<int>(nDoneClamped * kBarRange / nTotal));
}

void CWaitDlg::showEvent(QShowEvent* pEvent)
{
    m_movWait.start();
    QDialog::showEvent(pEvent);
}

void CWaitDlg::hideEvent(QHideEvent* pEvent)
{
    m_movWait.stop();
    QDialog::hideEvent(pEvent);
}

void CWaitDlg::paintEvent(QPaintEvent*)
{
    // The dialog frame that a captionless window would otherwise lack.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}
