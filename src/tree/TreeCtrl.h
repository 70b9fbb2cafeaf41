#pragma once
// The platform tree control the folder tree was designed around, on a QTreeView: items
// addressed by HTREEITEM, each with a text, an image and a selected image from the
// normal image list, a state image (index in the state bits under TVIS_STATEIMAGEMASK)
// from the state image list, and an item-data number.
//
// Row layout, left to right after the indentation: state image (only when its index is
// not 0), item image, label. HitTest reports which of them a point is on.
// Rows have one height, so the view lays out big folders without measuring each row.
#include "TreeModel.h"
#include "platform/WinTypes.h"

#include <QTreeView>

#include <cstdint>
#include <vector>

class CImageList;
class CTreeItemDelegate;

using HTREEITEM = TreeNode*;

inline HTREEITEM const TVI_ROOT = nullptr;
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(~std::uintptr_t(0xFFFF) | 1);
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(~std::uintptr_t(0xFFFF) | 2);

// Window styles the control takes (the others are ignored).
constexpr UINT WS_CHILD = 0x40000000;
constexpr UINT WS_VISIBLE = 0x10000000;
constexpr UINT WS_TABSTOP = 0x00010000;
constexpr UINT TVS_HASBUTTONS = 0x0001;
constexpr UINT TVS_HASLINES = 0x0002;
constexpr UINT TVS_LINESATROOT = 0x0004;
constexpr UINT TVS_SHOWSELALWAYS = 0x0020;

// Item state bits.
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_EXPANDED = 0x0020;
constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(int nIndex)
{
    return UINT(nIndex) << 12;
}

// The check-box state images, in the order of the state image list the left view builds;
// an item without a box has none.
enum ECheckIndex {
    CHECK_NO_BOX = 0,
    CHECK_UNCHECKED = 1,
    CHECK_PARTLY = 2,
    CHECK_CHECKED = 3,
    CHECK_IMAGE_COUNT = 4,
};

// Hit-test flags.
constexpr UINT TVHT_NOWHERE = 0x0001;
constexpr UINT TVHT_ONITEMICON = 0x0002;
constexpr UINT TVHT_ONITEMLABEL = 0x0004;
constexpr UINT TVHT_ONITEMINDENT = 0x0008;
constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
constexpr UINT TVHT_ABOVE = 0x0100;
constexpr UINT TVHT_BELOW = 0x0200;
constexpr UINT TVHT_TORIGHT = 0x0400;
constexpr UINT TVHT_TOLEFT = 0x0800;

// Expand actions.
constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVE_TOGGLE = 0x0003;

// Image list kinds.
constexpr int TVSIL_NORMAL = 0;
constexpr int TVSIL_STATE = 2;

class CTreeCtrl : public QTreeView
{
    Q_OBJECT
public:
    explicit CTreeCtrl(QWidget* pParent = nullptr);
    ~CTreeCtrl() override;

    // Places the control in its parent at rect (parent coordinates) with the given
    // styles, and shows it when WS_VISIBLE is among them.
    bool Create(UINT dwStyle, const QRect& rect, QWidget* pParentWnd, UINT nID);

    // The lists are not owned; they must outlive the control.
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);
    CImageList* GetImageList(int nImageListType) const;

    // An item inserted by its text alone stands for the UTF-8 of that text.
    HTREEITEM InsertItem(const QString& strText, int nImage, int nSelectedImage,
                         HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(const QString& strText, int nImage, int nSelectedImage, UINT nState,
                         UINT nStateMask, HTREEITEM hParent, HTREEITEM hInsertAfter);
    // Appends the items (with the children they bring) as the last children of hParent,
    // in the given order, with one notification to the view.
    HTREEITEM InsertItems(HTREEITEM hParent, std::vector<TreeInsertItem>& items);
    bool DeleteItem(HTREEITEM hItem);
    bool DeleteAllItems();

    QString GetItemText(HTREEITEM hItem) const;
    // The bytes the item stands for; its text is what the user sees of them.
    QByteArray GetItemName(HTREEITEM hItem) const;
    bool GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const;
    UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const;
    bool SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask);
    LPARAM GetItemData(HTREEITEM hItem) const;
    bool SetItemData(HTREEITEM hItem, LPARAM lParam);

    HTREEITEM GetRootItem() const;
    HTREEITEM GetChildItem(HTREEITEM hItem) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetPrevSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetParentItem(HTREEITEM hItem) const;
    bool ItemHasChildren(HTREEITEM hItem) const;
    int GetChildCount(HTREEITEM hItem) const;
    int GetCount() const;

    HTREEITEM GetSelectedItem() const;
    bool SelectItem(HTREEITEM hItem);
    bool Expand(HTREEITEM hItem, UINT nCode);

    // pt in viewport coordinates, the coordinates of the control's mouse events.
    HTREEITEM HitTest(const QPoint& pt, UINT* pFlags = nullptr) const;
    // The item's rectangle in viewport coordinates: the whole row part from the state
    // image on, or with bTextOnly the label alone. Empty when the item is not shown.
    QRect GetItemRect(HTREEITEM hItem, bool bTextOnly) const;
    // Where the state image of an item is drawn; empty when it has none.
    QRect GetStateIconRect(HTREEITEM hItem) const;

    HTREEITEM ItemFromIndex(const QModelIndex& index) const;
    QModelIndex IndexFromItem(HTREEITEM hItem) const;
    CTreeModel* GetTreeModel() const { return m_pModel; }

    // Tells a screen reader that the item's check box changed, so it says the new state.
    void NotifyCheckChanged(HTREEITEM hItem);

    // State changes between these two are shown to the view as one change per parent.
    void BeginBatch() { m_pModel->BeginBatch(); }
    void EndBatch() { m_pModel->EndBatch(); }

protected:
    void drawBranches(QPainter* pPainter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    TreeNode* ParentNode(HTREEITEM hParent) const;

    CTreeModel* m_pModel;
    CTreeItemDelegate* m_pDelegate;
    CImageList* m_pImageList = nullptr;
    CImageList* m_pStateImageList = nullptr;
    UINT m_dwStyle = 0;
};
