#pragma once
// The Options page of the customise dialog: full menus, large toolbar icons, toolbar
// tooltips, and the bandwidth limits of uploads and restores. A change works at once.
#include <QWidget>

class CCommandBars;
class QCheckBox;
class QSpinBox;

class CCustomizeOptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit CCustomizeOptionsPage(CCommandBars* pBars, QWidget* pParent = nullptr);

    QCheckBox* FullMenus() const { return m_pFullMenus; }
    QCheckBox* LargeIcons() const { return m_pLargeIcons; }
    QCheckBox* ToolTips() const { return m_pToolTips; }
    QSpinBox* UploadLimit() const { return m_pUploadLimit; }
    QSpinBox* RestoreLimit() const { return m_pRestoreLimit; }

private:
    void OnChanged();

    CCommandBars* m_pBars;
    QCheckBox* m_pFullMenus;
    QCheckBox* m_pLargeIcons;
    QCheckBox* m_pToolTips;
    QSpinBox* m_pUploadLimit; // KB/s; 0 shows as "no limit"
    QSpinBox* m_pRestoreLimit;
};
