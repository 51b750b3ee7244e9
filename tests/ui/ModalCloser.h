#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

/// Closes the next modal window that opens while a test drives code that runs one with
/// exec(), so the test never blocks: arm it before the call that opens the window. It records
/// what it saw; a message box is answered with OK, any other dialog is handed to `act` (or
/// rejected when there is none).
class ModalCloser : public QObject
{
public:
    explicit ModalCloser(std::function<void(QWidget*)> act = {})
        : m_act(std::move(act))
        , m_before(QApplication::activeModalWidget())
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalCloser::poll);
        m_timer.start(10);
    }

    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat textFormat = Qt::AutoText;
    QWidget* parent = nullptr;
    /// The cursor shape the application forced while the window waited, if any.
    std::optional<Qt::CursorShape> cursor;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_before)
            return;
        m_timer.stop();
        seen = true;
        title = modal->windowTitle();
        parent = modal->parentWidget();
        if (const QCursor* forced = QGuiApplication::overrideCursor())
            cursor = forced->shape();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            text = box->text();
            icon = box->icon();
            textFormat = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        } else if (m_act) {
            m_act(modal);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    }

    std::function<void(QWidget*)> m_act;
    QPointer<QWidget> m_before;
    QTimer m_timer;
};
