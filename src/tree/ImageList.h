#pragma once
// An image list as the platform's controls used them: same-sized pictures addressed by
// index, made empty with a size or cut from one strip with a colour that turns
// transparent.
#include <QColor>
#include <QPixmap>
#include <QSize>
#include <vector>

class QIcon;
class QImage;
class QPainter;

class CImageList
{
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // An empty list of cx x cy pictures. nInitial and nGrow only reserve room.
    bool Create(int cx, int cy, int nInitial, int nGrow);
    // Cuts strip into pictures cx wide, left to right; pixels of crMask become transparent.
    bool Create(const QImage& strip, int cx, int nGrow, const QColor& crMask);
    bool IsCreated() const { return m_size.isValid() && !m_size.isEmpty(); }
    void DeleteImageList();

    // Appends the icon at the list's size; the new index, or -1 without a list.
    int Add(const QIcon& icon);
    int GetImageCount() const { return int(m_images.size()); }
    QSize GetImageSize() const { return m_size; }
    QPixmap GetImage(int nImage) const;

    // Draws picture nImage with its top-left corner at pt; an invalid index draws nothing.
    void Draw(QPainter* pPainter, int nImage, const QPoint& pt) const;

private:
    QSize m_size;
    std::vector<QPixmap> m_images;
};
