#include "TreeCtrl.h"

#include "ImageList.h"
#include "TreeAccessible.h"
#include "TreeItemDelegate.h"

#include <QAccessible>
#include <QHeaderView>
#include <QPainter>
#include <QProxyStyle>

namespace {

// The platform's tree highlighted the selected label only; some styles also fill the
// indentation of a selected row.
class CLabelSelectionStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* pOption, const QWidget* pWidget,
                  QStyleHintReturn* pReturn) const override
    {
        if (hint == SH_ItemView_ShowDecorationSelected)
            return 0;
        return QProxyStyle::styleHint(hint, pOption, pWidget, pReturn);
    }
};

} // namespace

CTreeCtrl::CTreeCtrl(QWidget* pParent)
    : QTreeView(pParent), m_pModel(new CTreeModel(this)), m_pDelegate(new CTreeItemDelegate(this))
{
    // Before anything asks a screen reader's questions of the tree.
    CTreeAccessible::Install();
    auto* pStyle = new CLabelSelectionStyle;
    pStyle->setParent(this);
    setStyle(pStyle);
    setModel(m_pModel);
    setItemDelegate(m_pDelegate);
    setHeaderHidden(true);
    // The one column grows with the widest label shown, so long names scroll sideways.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Measured over the rows in view and about a hundred around them, at every layout (each
    // expansion): Qt's 1,000 rows cost a few milliseconds of text shaping every time.
    header()->setResizeContentsPrecision(100);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAnimated(false);
    setIndentation(19);
}

CTreeCtrl::~CTreeCtrl() = default;

void CTreeCtrl::NotifyCheckChanged(HTREEITEM hItem)
{
    const QModelIndex index = IndexFromItem(hItem);
    if (!QAccessible::isActive() || !index.isValid())
        return;
    // Qt's accessible tree numbers its children by shown row, after the (hidden) header.
    int nRow = 0;
    for (QModelIndex above = indexAbove(index); above.isValid(); above = indexAbove(above))
        ++nRow;
    QAccessible::State changed;
    changed.checked = true;
    changed.checkStateMixed = true;
    QAccessibleStateChangeEvent event(this, changed);
    event.setChild(nRow + 1);
    QAccessible::updateAccessibility(&event);
}

// The control id of the template is not kept: the views hold their controls by pointer.
bool CTreeCtrl::Create(UINT dwStyle, const QRect& rect, QWidget* pParentWnd, UINT /*nID*/)
{
    m_dwStyle = dwStyle;
    if (pParentWnd && (dwStyle & WS_CHILD))
        setParent(pParentWnd);
    setGeometry(rect);
    setRootIsDecorated(dwStyle & TVS_LINESATROOT);
    setFocusPolicy((dwStyle & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    setVisible(dwStyle & WS_VISIBLE);
    return true;
}

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType)
{
    CImageList*& pSlot = nImageListType == TVSIL_STATE ? m_pStateImageList : m_pImageList;
    CImageList* pOld = pSlot;
    pSlot = pImageList;
    // Row height comes from the images; make the view measure again.
    scheduleDelayedItemsLayout();
    viewport()->update();
    return pOld;
}

CImageList* CTreeCtrl::GetImageList(int nImageListType) const
{
    return nImageListType == TVSIL_STATE ? m_pStateImageList : m_pImageList;
}

TreeNode* CTreeCtrl::ParentNode(HTREEITEM hParent) const
{
    return hParent == TVI_ROOT ? m_pModel->Root() : hParent;
}

HTREEITEM CTreeCtrl::InsertItem(const QString& strText, int nImage, int nSelectedImage,
                                HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    return InsertItem(strText, nImage, nSelectedImage, 0, 0, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(const QString& strText, int nImage, int nSelectedImage, UINT nState,
                                UINT nStateMask, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    TreeNode* pParent = ParentNode(hParent);
    if (!pParent || pParent->bRemoved)
        return nullptr;
    int nRow = int(pParent->children.size());
    if (hInsertAfter == TVI_FIRST)
        nRow = 0;
    else if (hInsertAfter != TVI_LAST && hInsertAfter && hInsertAfter->pParent == pParent)
        nRow = hInsertAfter->nRow + 1;

    std::vector<TreeInsertItem> items(1);
    items[0].strText = strText;
    items[0].name = strText.toUtf8();
    items[0].nImage = nImage;
    items[0].nSelectedImage = nSelectedImage;
    items[0].nState = nState & nStateMask;
    return m_pModel->InsertNodes(pParent, nRow, items);
}

HTREEITEM CTreeCtrl::InsertItems(HTREEITEM hParent, std::vector<TreeInsertItem>& items)
{
    TreeNode* pParent = ParentNode(hParent);
    if (!pParent)
        return nullptr;
    return m_pModel->InsertNodes(pParent, int(pParent->children.size()), items);
}

bool CTreeCtrl::DeleteItem(HTREEITEM hItem)
{
    if (!hItem || hItem->bRemoved || !hItem->pParent)
        return false;
    m_pModel->RemoveNodes(hItem->pParent, hItem->nRow, 1);
    return true;
}

bool CTreeCtrl::DeleteAllItems()
{
    TreeNode* pRoot = m_pModel->Root();
    m_pModel->RemoveNodes(pRoot, 0, int(pRoot->children.size()));
    return true;
}

QString CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    return hItem ? hItem->strText : QString();
}

QByteArray CTreeCtrl::GetItemName(HTREEITEM hItem) const
{
    return hItem ? hItem->name : QByteArray();
}

bool CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const
{
    if (!hItem)
        return false;
    nImage = hItem->nImage;
    nSelectedImage = hItem->nSelectedImage;
    return true;
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const
{
    if (!hItem || hItem->bRemoved)
        return 0;
    UINT nState = hItem->nState;
    const QModelIndex index = IndexFromItem(hItem);
    if ((nStateMask & TVIS_EXPANDED) && isExpanded(index))
        nState |= TVIS_EXPANDED;
    if ((nStateMask & TVIS_SELECTED) && selectionModel()->isSelected(index))
        nState |= TVIS_SELECTED;
    return nState & nStateMask;
}

bool CTreeCtrl::SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask)
{
    if (!hItem || hItem->bRemoved)
        return false;
    // Selection and expansion belong to the view; the control keeps the other bits.
    m_pModel->SetState(hItem, nState, nStateMask & ~(TVIS_SELECTED | TVIS_EXPANDED));
    return true;
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    return hItem ? hItem->lParam : 0;
}

bool CTreeCtrl::SetItemData(HTREEITEM hItem, LPARAM lParam)
{
    if (!hItem)
        return false;
    hItem->lParam = lParam;
    return true;
}

HTREEITEM CTreeCtrl::GetRootItem() const
{
    return GetChildItem(TVI_ROOT);
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM hItem) const
{
    const TreeNode* pNode = ParentNode(hItem);
    return pNode->children.empty() ? nullptr : pNode->children.front().get();
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM hItem) const
{
    if (!hItem || !hItem->pParent)
        return nullptr;
    const auto& siblings = hItem->pParent->children;
    const size_t nNext = size_t(hItem->nRow) + 1;
    return nNext < siblings.size() && !hItem->bRemoved ? siblings[nNext].get() : nullptr;
}

HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM hItem) const
{
    if (!hItem || !hItem->pParent || hItem->nRow == 0 || hItem->bRemoved)
        return nullptr;
    return hItem->pParent->children[hItem->nRow - 1].get();
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM hItem) const
{
    if (!hItem || hItem->pParent == m_pModel->Root())
        return nullptr;
    return hItem->pParent;
}

bool CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const
{
    return hItem && !hItem->children.empty();
}

int CTreeCtrl::GetChildCount(HTREEITEM hItem) const
{
    return int(ParentNode(hItem)->children.size());
}

int CTreeCtrl::GetCount() const
{
    int nCount = 0;
    std::vector<const TreeNode*> pending{m_pModel->Root()};
    while (!pending.empty()) {
        const TreeNode* pNode = pending.back();
        pending.pop_back();
        nCount += int(pNode->children.size());
        for (const auto& pChild : pNode->children)
            pending.push_back(pChild.get());
    }
    return nCount;
}

HTREEITEM CTreeCtrl::GetSelectedItem() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : ItemFromIndex(selected.first());
}

bool CTreeCtrl::SelectItem(HTREEITEM hItem)
{
    if (!hItem) {
        clearSelection();
        return true;
    }
    const QModelIndex index = IndexFromItem(hItem);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    return true;
}

bool CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode)
{
    QModelIndex index = IndexFromItem(hItem);
    if (!index.isValid())
        return false;
    if (nCode == TVE_TOGGLE)
        nCode = isExpanded(index) ? TVE_COLLAPSE : TVE_EXPAND;
    if (nCode == TVE_COLLAPSE) {
        collapse(index);
        return true;
    }
    if (nCode != TVE_EXPAND)
        return false;
    expand(index);
    // Whoever handles the expansion may have removed the item.
    index = IndexFromItem(hItem);
    return index.isValid() && isExpanded(index);
}

HTREEITEM CTreeCtrl::HitTest(const QPoint& pt, UINT* pFlags) const
{
    UINT nFlags = 0;
    HTREEITEM hItem = nullptr;
    const QRect area = viewport()->rect();
    if (!area.contains(pt)) {
        if (pt.y() < area.top())
            nFlags |= TVHT_ABOVE;
        if (pt.y() > area.bottom())
            nFlags |= TVHT_BELOW;
        if (pt.x() < area.left())
            nFlags |= TVHT_TOLEFT;
        if (pt.x() > area.right())
            nFlags |= TVHT_TORIGHT;
    } else {
        // The row at pt's height, wherever pt is across it.
        const QModelIndex index = indexAt(QPoint(columnViewportPosition(0), pt.y()));
        hItem = ItemFromIndex(index);
        if (!hItem) {
            nFlags = TVHT_NOWHERE;
        } else {
            const QRect itemRect = visualRect(index);
            const auto layout = m_pDelegate->ItemLayout(itemRect, hItem);
            const int x = pt.x();
            if (x < itemRect.left()) {
                const bool bOnButton = x >= itemRect.left() - indentation() &&
                                       !hItem->children.empty() &&
                                       (hItem->pParent != m_pModel->Root() || rootIsDecorated());
                nFlags = bOnButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
            } else if (!layout.stateRect.isEmpty() && x <= layout.stateRect.right()) {
                nFlags = TVHT_ONITEMSTATEICON;
            } else if (!layout.iconRect.isEmpty() && x <= layout.iconRect.right()) {
                nFlags = TVHT_ONITEMICON;
            } else if (x <= layout.labelRect.right()) {
                nFlags = TVHT_ONITEMLABEL;
            } else {
                nFlags = TVHT_ONITEMRIGHT;
            }
        }
    }
    if (pFlags)
        *pFlags = nFlags;
    return hItem;
}

QRect CTreeCtrl::GetItemRect(HTREEITEM hItem, bool bTextOnly) const
{
    const QModelIndex index = IndexFromItem(hItem);
    const QRect itemRect = index.isValid() ? visualRect(index) : QRect();
    if (itemRect.isEmpty())
        return {};
    const auto layout = m_pDelegate->ItemLayout(itemRect, hItem);
    if (bTextOnly)
        return layout.labelRect;
    return QRect(QPoint(itemRect.left(), itemRect.top()), layout.labelRect.bottomRight());
}

QRect CTreeCtrl::GetStateIconRect(HTREEITEM hItem) const
{
    const QModelIndex index = IndexFromItem(hItem);
    const QRect itemRect = index.isValid() ? visualRect(index) : QRect();
    if (itemRect.isEmpty())
        return {};
    return m_pDelegate->ItemLayout(itemRect, hItem).stateRect;
}

HTREEITEM CTreeCtrl::ItemFromIndex(const QModelIndex& index) const
{
    return m_pModel->NodeFromIndex(index);
}

QModelIndex CTreeCtrl::IndexFromItem(HTREEITEM hItem) const
{
    return m_pModel->IndexFromNode(hItem);
}

void CTreeCtrl::drawBranches(QPainter* pPainter, const QRect& rect, const QModelIndex& index) const
{
    const TreeNode* pNode = ItemFromIndex(index);
    const int nIndent = indentation();
    if (!pNode || nIndent <= 0 || rect.width() < nIndent)
        return;
    const TreeNode* pRoot = m_pModel->Root();
    const int cy = rect.center().y();
    auto hasNextSibling = [](const TreeNode* p) {
        return size_t(p->nRow) + 1 < p->pParent->children.size();
    };

    // Dotted connectors as the platform's tree drew them: the item's own column is the
    // rightmost, each ancestor's column to its left carries on while it has siblings below.
    QPen pen(palette().color(QPalette::Mid), 1, Qt::DotLine);
    pPainter->save();
    pPainter->setPen(pen);
    int nColumn = rect.width() / nIndent - 1;
    for (const TreeNode* p = pNode; p != pRoot && nColumn >= 0; p = p->pParent, --nColumn) {
        const int x0 = rect.left() + nColumn * nIndent;
        const int cx = x0 + nIndent / 2;
        if (!(m_dwStyle & TVS_HASLINES))
            break;
        if (p == pNode) {
            const bool bFirstTop = p->pParent == pRoot && p->nRow == 0;
            pPainter->drawLine(cx, bFirstTop ? cy : rect.top(), cx,
                               hasNextSibling(p) ? rect.bottom() : cy);
            pPainter->drawLine(cx, cy, x0 + nIndent - 1, cy);
        } else if (hasNextSibling(p)) {
            pPainter->drawLine(cx, rect.top(), cx, rect.bottom());
        }
    }

    // The expand button: a small box with a minus, and a plus while collapsed.
    if ((m_dwStyle & TVS_HASBUTTONS) && !pNode->children.empty()) {
        const int cx = rect.right() - nIndent + 1 + nIndent / 2;
        const QRect box(cx - 4, cy - 4, 9, 9);
        pPainter->setPen(palette().color(QPalette::Dark));
        pPainter->fillRect(box, palette().color(QPalette::Base));
        pPainter->drawRect(box.adjusted(0, 0, -1, -1));
        pPainter->setPen(palette().color(QPalette::Text));
        pPainter->drawLine(cx - 2, cy, cx + 2, cy);
        if (!isExpanded(index))
            pPainter->drawLine(cx, cy - 2, cx, cy + 2);
    }
    pPainter->restore();
}
