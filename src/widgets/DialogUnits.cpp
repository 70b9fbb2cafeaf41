#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

CDialogUnits::CDialogUnits(const QString& strFace, int nPointSize)
    : m_font(MapFont(strFace, nPointSize))
{
    Measure();
}

CDialogUnits::CDialogUnits(const QFont& font) : m_font(font)
{
    Measure();
}

QFont CDialogUnits::MapFont(const QString& strFace, int nPointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (strFace.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0)
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Pixel sizes as Windows computes them at 96 dpi, so templates keep their proportions
    // whatever the screen's logical dpi says.
    font.setPixelSize(qMax(1, (nPointSize * 96 + 36) / 72));
    return font;
}

void CDialogUnits::Measure()
{
    // Windows' rule: the average width of the 52 letters, rounded, and the font's height.
    const QFontMetrics metrics(m_font);
    const int nWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseWidth = qMax(1, (nWidth / 26 + 1) / 2);
    m_nBaseHeight = qMax(1, metrics.height());
}

int CDialogUnits::ToPixelsX(int nUnits) const
{
    return (nUnits * m_nBaseWidth + 2) / 4;
}

int CDialogUnits::ToPixelsY(int nUnits) const
{
    return (nUnits * m_nBaseHeight + 4) / 8;
}

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const
{
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy));
}

QSize CDialogUnits::ToPixels(const QSize& units) const
{
    return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

void CDialogUnits::Place(QWidget* pControl, int x, int y, int cx, int cy) const
{
    pControl->setFont(m_font);
    pControl->setGeometry(ToPixels(x, y, cx, cy));
}
