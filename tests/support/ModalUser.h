#pragma once
// A user who deals with whatever modal window comes up: notes every message box's texts and
// answers it (by default with OK).
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>

// A user at the screen: each modal window that comes up goes to m_onModal, which must close
// it; without one, message boxes are read and answered with OK.
class CModalUser : public QObject
{
public:
    CModalUser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(20);
    }

    std::function<void(QWidget*)> m_onModal;
    QStringList m_titles;
    QStringList m_texts;
    QStringList m_details; // the boxes' informative texts
    int m_nPlainBoxes = 0; // boxes with no icon and only an OK button

private:
    void Poll()
    {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal || !pModal->isVisible() || m_bBusy)
            return;
        m_bBusy = true; // a handler may run an event loop of its own
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            m_titles << pBox->windowTitle();
            m_texts << pBox->text();
            m_details << pBox->informativeText();
            m_nPlainBoxes += pBox->icon() == QMessageBox::NoIcon && pBox->buttons().size() == 1 &&
                             pBox->button(QMessageBox::Ok);
        }
        if (m_onModal)
            m_onModal(pModal);
        else if (auto* pBox = qobject_cast<QMessageBox*>(pModal))
            QTest::mouseClick(pBox->button(QMessageBox::Ok), Qt::LeftButton);
        m_bBusy = false;
    }

    QTimer m_timer;
    bool m_bBusy = false;
};
