#include "ImageList.h"

#include <QBitmap>
#include <QIcon>
#include <QImage>
#include <QPainter>

bool CImageList::Create(int cx, int cy, int nInitial, int nGrow)
{
    if (cx <= 0 || cy <= 0)
        return false;
    Q_UNUSED(nGrow);
    m_size = QSize(cx, cy);
    m_images.clear();
    m_images.reserve(std::max(nInitial, 0));
    return true;
}

bool CImageList::Create(const QImage& strip, int cx, int nGrow, const QColor& crMask)
{
    if (strip.isNull() || cx <= 0 || strip.width() < cx)
        return false;
    const int nCount = strip.width() / cx;
    if (!Create(cx, strip.height(), nCount, nGrow))
        return false;
    for (int i = 0; i < nCount; ++i) {
        QPixmap image = QPixmap::fromImage(strip.copy(i * cx, 0, cx, strip.height()));
        image.setMask(image.createMaskFromColor(crMask, Qt::MaskInColor));
        m_images.push_back(image);
    }
    return true;
}

void CImageList::DeleteImageList()
{
    m_size = QSize();
    m_images.clear();
}

int CImageList::Add(const QIcon& icon)
{
    if (!IsCreated())
        return -1;
    QPixmap image(m_size);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        icon.paint(&painter, QRect(QPoint(0, 0), m_size));
    }
    m_images.push_back(image);
    return int(m_images.size()) - 1;
}

QPixmap CImageList::GetImage(int nImage) const
{
    if (nImage < 0 || nImage >= int(m_images.size()))
        return {};
    return m_images[nImage];
}

void CImageList::Draw(QPainter* pPainter, int nImage, const QPoint& pt) const
{
    if (nImage < 0 || nImage >= int(m_images.size()))
        return;
    pPainter->drawPixmap(pt, m_images[nImage]);
}
