#pragma once
// The folder tree as a screen reader meets it: Qt's own accessible tree, whose items also say
// "partly checked" (AT-SPI "indeterminate") for a folder with only some of its files ticked.
// Qt's item cells report ticked or not, never partly, and are not ours to derive from, so
// this interface stands in front of Qt's: it passes every call on, and hands out its items
// wrapped, each adding the partly ticked state to what Qt's cell says.
#include <QAccessible>
#include <QHash>
#include <QPointer>

class QTreeView;

class CTreeAccessible : public QAccessibleInterface
{
public:
    // Makes every CTreeCtrl read this way; call before the first tree is shown (repeatable).
    static void Install();

    CTreeAccessible(QTreeView* pView, QAccessibleInterface* pInner);
    ~CTreeAccessible() override;

    bool isValid() const override;
    QObject* object() const override;
    QWindow* window() const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int nIndex) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* pChild) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& strText) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

private:
    // Qt's item, wrapped; anything else (the header) as it is.
    QAccessibleInterface* Wrap(QAccessibleInterface* pInner) const;

    QPointer<QTreeView> m_pView;
    QAccessibleInterface* m_pInner;
    QAccessible::Id m_nInner;
    // Qt's item by id: ours for it.
    mutable QHash<QAccessible::Id, QAccessible::Id> m_items;
};
