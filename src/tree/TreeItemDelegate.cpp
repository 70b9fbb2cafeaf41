#include "TreeItemDelegate.h"

#include "ImageList.h"
#include "TreeCtrl.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

constexpr int kImageGap = 3;     // between the images and the label
constexpr int kLabelPadding = 2; // inside the label's highlight, each side

} // namespace

CTreeItemDelegate::CTreeItemDelegate(CTreeCtrl* pTree)
    : QAbstractItemDelegate(pTree), m_pTree(pTree)
{
}

int CTreeItemDelegate::RowHeight() const
{
    int nHeight = m_pTree->fontMetrics().height() + 2;
    for (int nList : {TVSIL_NORMAL, TVSIL_STATE}) {
        if (const CImageList* pList = m_pTree->GetImageList(nList))
            nHeight = std::max(nHeight, pList->GetImageSize().height() + 2);
    }
    return nHeight;
}

CTreeItemDelegate::Layout CTreeItemDelegate::ItemLayout(const QRect& itemRect,
                                                        const TreeNode* pNode) const
{
    Layout layout;
    int x = itemRect.left();
    const int nStateIndex = int((pNode->nState & TVIS_STATEIMAGEMASK) >> 12);
    if (const CImageList* pStates = m_pTree->GetImageList(TVSIL_STATE); pStates && nStateIndex) {
        const QSize size = pStates->GetImageSize();
        layout.stateRect = QRect(QPoint(x, itemRect.center().y() - size.height() / 2), size);
        x += size.width() + kImageGap;
    }
    if (const CImageList* pImages = m_pTree->GetImageList(TVSIL_NORMAL)) {
        const QSize size = pImages->GetImageSize();
        layout.iconRect = QRect(QPoint(x, itemRect.center().y() - size.height() / 2), size);
        x += size.width() + kImageGap;
    }
    const int nTextWidth = m_pTree->fontMetrics().horizontalAdvance(pNode->strText);
    layout.labelRect = QRect(x, itemRect.top(), nTextWidth + 2 * kLabelPadding, itemRect.height());
    return layout;
}

void CTreeItemDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const TreeNode* pNode = m_pTree->ItemFromIndex(index);
    if (!pNode)
        return;
    const Layout layout = ItemLayout(option.rect, pNode);
    const bool bSelected = option.state & QStyle::State_Selected;

    if (!layout.stateRect.isEmpty()) {
        m_pTree->GetImageList(TVSIL_STATE)
            ->Draw(pPainter, int((pNode->nState & TVIS_STATEIMAGEMASK) >> 12),
                   layout.stateRect.topLeft());
    }
    if (!layout.iconRect.isEmpty()) {
        m_pTree->GetImageList(TVSIL_NORMAL)
            ->Draw(pPainter, bSelected ? pNode->nSelectedImage : pNode->nImage,
                   layout.iconRect.topLeft());
    }

    // The selection stays visible, greyed, when the control has no focus.
    const QPalette::ColorGroup group = (option.state & QStyle::State_Active) && m_pTree->hasFocus()
                                           ? QPalette::Active
                                           : QPalette::Inactive;
    if (bSelected)
        pPainter->fillRect(layout.labelRect, option.palette.brush(group, QPalette::Highlight));
    pPainter->setPen(
        option.palette.color(group, bSelected ? QPalette::HighlightedText : QPalette::Text));
    pPainter->setFont(option.font);
    pPainter->drawText(layout.labelRect.adjusted(kLabelPadding, 0, 0, 0),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, pNode->strText);

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = layout.labelRect;
        focus.backgroundColor =
            option.palette.color(group, bSelected ? QPalette::Highlight : QPalette::Base);
        m_pTree->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, pPainter, m_pTree);
    }
}

QSize CTreeItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    Q_UNUSED(option);
    const TreeNode* pNode = m_pTree->ItemFromIndex(index);
    if (!pNode)
        return {};
    const Layout layout = ItemLayout(QRect(0, 0, 0, RowHeight()), pNode);
    return {layout.labelRect.right() + 1 + kLabelPadding, RowHeight()};
}
