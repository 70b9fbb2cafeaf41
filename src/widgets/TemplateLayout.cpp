#include "TemplateLayout.h"

#include <QWidget>

#include <algorithm>

namespace {
// The least room kept between a control that moves back and a fixed one before it.
constexpr int kMinGap = 6;
} // namespace

CTemplateLayout::CTemplateLayout(QWidget* pForm, const QSize& sizeTemplate)
    : QLayout(pForm), m_sizeTemplate(sizeTemplate)
{
    setContentsMargins(0, 0, 0, 0); // the template's rectangles hold the margins
}

CTemplateLayout::~CTemplateLayout()
{
    while (QLayoutItem* pItem = takeAt(0))
        delete pItem;
}

void CTemplateLayout::AddControl(QWidget* pControl, const QRect& rect, EAnchor eHorizontal,
                                 EAnchor eVertical)
{
    addChildWidget(pControl);
    m_controls.push_back({new QWidgetItem(pControl), rect, {eHorizontal, eVertical}});
    invalidate();
}

void CTemplateLayout::addItem(QLayoutItem* pItem)
{
    // Items without a template place stand at the top left, as they are.
    m_controls.push_back({pItem, QRect(QPoint(), pItem->sizeHint()), {FIXED, FIXED}});
}

QLayoutItem* CTemplateLayout::itemAt(int nIndex) const
{
    return nIndex >= 0 && nIndex < count() ? m_controls[size_t(nIndex)].pItem : nullptr;
}

QLayoutItem* CTemplateLayout::takeAt(int nIndex)
{
    if (nIndex < 0 || nIndex >= count())
        return nullptr;
    QLayoutItem* pItem = m_controls[size_t(nIndex)].pItem;
    m_controls.erase(m_controls.begin() + nIndex);
    return pItem;
}

int CTemplateLayout::count() const
{
    return int(m_controls.size());
}

int CTemplateLayout::Along(const QRect& rect, int nAxis, bool bEnd)
{
    if (nAxis == 0)
        return bEnd ? rect.x() + rect.width() : rect.x();
    return bEnd ? rect.y() + rect.height() : rect.y();
}

int CTemplateLayout::Length(const QSize& size, int nAxis)
{
    return nAxis == 0 ? size.width() : size.height();
}

CTemplateLayout::Span CTemplateLayout::Place(const Control& control, int nAxis, int nLength) const
{
    const int nPos = Along(control.rect, nAxis, false);
    const int nTemplateLength = Length(control.rect.size(), nAxis);
    const int nFar = Length(m_sizeTemplate, nAxis) - Along(control.rect, nAxis, true);
    const int nMin = Length(control.pItem->minimumSize(), nAxis);
    const int nKept = std::max(nTemplateLength, nMin);
    switch (control.eAnchor[nAxis]) {
    case STRETCH:
        return {nPos, std::max(nMin, nLength - nPos - nFar)};
    case FOLLOW:
        return {std::max(0, nLength - nFar - nKept), nKept};
    case YIELD:
        return {std::max(0, std::min(nPos, nLength - nFar - nKept)), nKept};
    case FIXED:
    default:
        return {nPos, nKept};
    }
}

int CTemplateLayout::MinimumLength(int nAxis) const
{
    int nMinimum = 0;
    for (const Control& control : m_controls) {
        if (control.pItem->isEmpty())
            continue;
        const Span span = Place(control, nAxis, 0);
        const int nPos = Along(control.rect, nAxis, false);
        const int nFar = Length(m_sizeTemplate, nAxis) - Along(control.rect, nAxis, true);
        const EAnchor eAnchor = control.eAnchor[nAxis];
        if (eAnchor == FIXED || eAnchor == STRETCH) {
            nMinimum = std::max(nMinimum, nPos + span.nLength + (eAnchor == STRETCH ? nFar : 0));
            continue;
        }
        nMinimum = std::max(nMinimum, span.nLength + nFar);
        // A control that moves back stops short of the fixed ones before it on its band.
        for (const Control& other : m_controls) {
            const int nOtherEnd = Along(other.rect, nAxis, true);
            const bool bSameBand =
                Along(other.rect, 1 - nAxis, false) < Along(control.rect, 1 - nAxis, true) &&
                Along(control.rect, 1 - nAxis, false) < Along(other.rect, 1 - nAxis, true);
            if (&other == &control || other.pItem->isEmpty() || other.eAnchor[nAxis] != FIXED ||
                !bSameBand || nOtherEnd > nPos)
                continue;
            const Span otherSpan = Place(other, nAxis, 0);
            const int nGap = std::min(kMinGap, nPos - nOtherEnd);
            nMinimum =
                std::max(nMinimum, otherSpan.nPos + otherSpan.nLength + nGap + span.nLength + nFar);
        }
    }
    return nMinimum;
}

QSize CTemplateLayout::minimumSize() const
{
    return QSize(MinimumLength(0), MinimumLength(1));
}

QSize CTemplateLayout::sizeHint() const
{
    return m_sizeTemplate.expandedTo(minimumSize());
}

Qt::Orientations CTemplateLayout::expandingDirections() const
{
    Qt::Orientations directions;
    for (const Control& control : m_controls) {
        if (control.eAnchor[0] == STRETCH)
            directions |= Qt::Horizontal;
        if (control.eAnchor[1] == STRETCH)
            directions |= Qt::Vertical;
    }
    return directions;
}

void CTemplateLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Control& control : m_controls) {
        if (control.pItem->isEmpty())
            continue;
        const Span across = Place(control, 0, rect.width());
        const Span down = Place(control, 1, rect.height());
        control.pItem->setGeometry(
            QRect(rect.x() + across.nPos, rect.y() + down.nPos, across.nLength, down.nLength));
    }
}
