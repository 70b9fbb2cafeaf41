#include "TreeAccessible.h"

#include "TreeCtrl.h"

#include <QTreeView>

namespace {

// An item of the tree: Qt's cell, found again by its id at every call, since Qt drops its
// cells when rows come or go; this one then reads as gone.
class CTreeItemAccessible : public QAccessibleInterface
{
public:
    CTreeItemAccessible(QAccessible::Id nInner, QTreeView* pView) : m_nInner(nInner), m_pView(pView)
    {
    }
    QAccessibleInterface* Inner() const
    {
        QAccessibleInterface* pInner = QAccessible::accessibleInterface(m_nInner);
        return pInner && pInner->isValid() && m_pView ? pInner : nullptr;
    }

    bool isValid() const override { return Inner(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return Inner() ? Inner()->window() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_pView.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return Inner() ? Inner()->text(t) : QString();
    }
    void setText(QAccessible::Text t, const QString& strText) override
    {
        if (Inner())
            Inner()->setText(t, strText);
    }
    QRect rect() const override { return Inner() ? Inner()->rect() : QRect(); }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override
    {
        QAccessibleInterface* pInner = Inner();
        if (!pInner) {
            QAccessible::State gone;
            gone.invalid = true;
            return gone;
        }
        QAccessible::State state = pInner->state();
        // The model's index of this row, from where Qt's cell says it is drawn.
        const QRect area = pInner->rect();
        if (area.isEmpty())
            return state;
        const QModelIndex index =
            m_pView->indexAt(m_pView->viewport()->mapFromGlobal(area.center()));
        const QVariant tick = index.data(Qt::CheckStateRole);
        if (tick.isValid() && (index.flags() & Qt::ItemIsUserCheckable)) {
            state.checkable = true;
            state.checkStateMixed = tick.toInt() == Qt::PartiallyChecked;
        }
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return Inner() ? Inner()->interface_cast(t) : nullptr;
    }

private:
    QAccessible::Id m_nInner;
    QPointer<QTreeView> m_pView;
};

QAccessibleInterface* TreeFactory(const QString& strClass, QObject* pObject)
{
    // Asked once more from inside, for Qt's own interface of the same tree.
    static bool s_bInside = false;
    auto* pTree = qobject_cast<CTreeCtrl*>(pObject);
    if (s_bInside || !pTree || strClass != QLatin1String(pObject->metaObject()->className()))
        return nullptr;
    s_bInside = true;
    QAccessibleInterface* pInner = QAccessible::queryAccessibleInterface(pObject);
    s_bInside = false;
    return pInner ? new CTreeAccessible(pTree, pInner) : nullptr;
}

} // namespace

void CTreeAccessible::Install()
{
    static bool s_bInstalled = false;
    if (!s_bInstalled)
        QAccessible::installFactory(TreeFactory);
    s_bInstalled = true;
}

CTreeAccessible::CTreeAccessible(QTreeView* pView, QAccessibleInterface* pInner)
    : m_pView(pView), m_pInner(pInner), m_nInner(QAccessible::uniqueId(pInner))
{
}

CTreeAccessible::~CTreeAccessible()
{
    for (QAccessible::Id nItem : std::as_const(m_items))
        QAccessible::deleteAccessibleInterface(nItem);
    // Qt's tree was cached for the view before this one took its place.
    QAccessible::deleteAccessibleInterface(m_nInner);
}

QAccessibleInterface* CTreeAccessible::Wrap(QAccessibleInterface* pInner) const
{
    if (!pInner || pInner->role() != QAccessible::TreeItem)
        return pInner;
    const QAccessible::Id nInner = QAccessible::uniqueId(pInner);
    if (QAccessibleInterface* pItem = QAccessible::accessibleInterface(m_items.value(nInner)))
        return pItem;
    // Qt's cells of rows that changed are gone: so are ours for them.
    if (m_items.size() >= 256) {
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (QAccessible::accessibleInterface(it.key())) {
                ++it;
                continue;
            }
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_items.erase(it);
        }
    }
    auto* pItem = new CTreeItemAccessible(nInner, m_pView.data());
    m_items.insert(nInner, QAccessible::registerAccessibleInterface(pItem));
    return pItem;
}

bool CTreeAccessible::isValid() const
{
    return m_pView && m_pInner->isValid();
}

QObject* CTreeAccessible::object() const
{
    return m_pInner->object();
}

QWindow* CTreeAccessible::window() const
{
    return m_pInner->window();
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
CTreeAccessible::relations(QAccessible::Relation match) const
{
    return m_pInner->relations(match);
}

QAccessibleInterface* CTreeAccessible::focusChild() const
{
    return Wrap(m_pInner->focusChild());
}

QAccessibleInterface* CTreeAccessible::childAt(int x, int y) const
{
    return Wrap(m_pInner->childAt(x, y));
}

QAccessibleInterface* CTreeAccessible::parent() const
{
    return m_pInner->parent();
}

QAccessibleInterface* CTreeAccessible::child(int nIndex) const
{
    return Wrap(m_pInner->child(nIndex));
}

int CTreeAccessible::childCount() const
{
    return m_pInner->childCount();
}

int CTreeAccessible::indexOfChild(const QAccessibleInterface* pChild) const
{
    if (const auto* pItem = dynamic_cast<const CTreeItemAccessible*>(pChild))
        pChild = pItem->Inner();
    return pChild ? m_pInner->indexOfChild(pChild) : -1;
}

QString CTreeAccessible::text(QAccessible::Text t) const
{
    return m_pInner->text(t);
}

void CTreeAccessible::setText(QAccessible::Text t, const QString& strText)
{
    m_pInner->setText(t, strText);
}

QRect CTreeAccessible::rect() const
{
    return m_pInner->rect();
}

QAccessible::Role CTreeAccessible::role() const
{
    return m_pInner->role();
}

QAccessible::State CTreeAccessible::state() const
{
    return m_pInner->state();
}

void* CTreeAccessible::interface_cast(QAccessible::InterfaceType t)
{
    return m_pInner->interface_cast(t);
}
