#pragma once
// The content window of a docking pane: the real control (a static text, an edit) without
// a frame of its own, inside a 1-pixel flat border, shadow-coloured along the top and left
// and highlight-coloured along the bottom and right, as the panes' theme draws edges.
// The holder exists with its frame; the control is made only when the pane first needs it.
#include <QWidget>

class CFlatBorderWnd : public QWidget
{
    Q_OBJECT
public:
    explicit CFlatBorderWnd(QWidget* pParent = nullptr);

    // Takes over pContent, dropping the frame it draws itself; once only.
    bool Create(QWidget* pContent);
    // The control, or null before Create.
    QWidget* Content() const { return m_pContent; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QWidget* m_pContent = nullptr;
};
