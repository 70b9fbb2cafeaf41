#pragma once
// Paints a tree-control row the way the platform's tree did: state image, item image,
// then the label, highlighted alone when the item is selected. The same geometry serves
// the control's hit test, so what a press hits is what the user sees.
#include <QAbstractItemDelegate>
#include <QRect>

class CTreeCtrl;
struct TreeNode;

class CTreeItemDelegate : public QAbstractItemDelegate
{
    Q_OBJECT
public:
    explicit CTreeItemDelegate(CTreeCtrl* pTree);

    struct Layout {
        QRect stateRect; // empty when the item shows no state image
        QRect iconRect;  // empty when the control has no normal image list
        QRect labelRect;
    };
    // The parts of an item's row, given the rectangle the view gives the item.
    Layout ItemLayout(const QRect& itemRect, const TreeNode* pNode) const;
    int RowHeight() const;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CTreeCtrl* m_pTree;
};
