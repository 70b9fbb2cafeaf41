#pragma once
// The caption of a docking pane: its picture and title, and the float and close buttons.
// Presses elsewhere on the caption go on to the pane, which drags, docks and floats itself.
#include <QWidget>

class QDockWidget;
class QLabel;
class QToolButton;

class CPaneCaption : public QWidget
{
    Q_OBJECT
public:
    explicit CPaneCaption(QDockWidget* pPane);

    QToolButton* FloatButton() const { return m_btnFloat; }
    QToolButton* CloseButton() const { return m_btnClose; }

private:
    void OnFeaturesChanged();

    QDockWidget* m_pPane;
    QLabel* m_pIcon;
    QLabel* m_pTitle;
    QToolButton* m_btnFloat;
    QToolButton* m_btnClose;
};
