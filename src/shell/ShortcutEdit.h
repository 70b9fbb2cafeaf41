#pragma once
// The "Press new shortcut key" field: it takes the next key the user presses with its
// modifiers as the key to assign, instead of as text. Tab, Shift+Tab and Esc on their own
// keep their usual meaning, so the keyboard can still leave the field and the dialog.
#include <QKeySequence>
#include <QLineEdit>

class CShortcutEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CShortcutEdit(QWidget* pParent = nullptr);

    QKeySequence Key() const { return m_key; }
    void SetKey(const QKeySequence& key);

signals:
    void KeyChanged(const QKeySequence& key);

protected:
    bool event(QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    QKeySequence m_key;
};
