#include "platform/qt/MessageBoxes.h"

#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"

#include <QApplication>
#include <QPointer>

#include <new>
#include <utility>

namespace sorvanel::ui {

namespace {

QPointer<QWidget>& mainWindowSlot()
{
    static QPointer<QWidget> window;
    return window;
}

MessageBoxShower& installedShower()
{
    static MessageBoxShower shower;
    return shower;
}

void execMessageBox(
    QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    // Notices quote file names and texts such as "<no midi file changed>": never markup.
    box.setTextFormat(Qt::PlainText);
    // A box waits for the user: the arrow, also in the middle of a scan or a run that shows
    // the busy cursor.
    struct ArrowWhileWaiting
    {
        bool busy = QGuiApplication::overrideCursor() != nullptr;
        ArrowWhileWaiting()
        {
            if (busy)
                QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        }
        ~ArrowWhileWaiting()
        {
            if (busy)
                QGuiApplication::restoreOverrideCursor();
        }
    } arrow;
    box.exec();
}

// A fall-back box may fail as well; there is nothing left to tell the user then.
void showFallBack(std::string_view text) noexcept
{
    try {
        showMessageBox(applicationMainWindow(), QMessageBox::Critical, QString(), toQString(text));
    } catch (...) {
    }
}

} // namespace

void setApplicationMainWindow(QWidget* window)
{
    mainWindowSlot() = window;
}

QWidget* applicationMainWindow()
{
    return mainWindowSlot().data();
}

MessageBoxShower setMessageBoxShower(MessageBoxShower shower)
{
    return std::exchange(installedShower(), std::move(shower));
}

void showMessageBox(
    QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    if (const MessageBoxShower& shower = installedShower())
        shower(owner, icon, caption, text);
    else
        execMessageBox(owner, icon, caption, text);
}

void ShowErrorBox(QWidget* owner, const QString& text)
{
    try {
        showMessageBox(owner ? owner : applicationMainWindow(), QMessageBox::Critical,
            toQString(Texts::ErrorCaption), text);
    } catch (const std::bad_alloc&) {
        showFallBack(Texts::ErrorBoxOutOfMemory);
    } catch (...) {
        showFallBack(Texts::ErrorBoxFailed);
    }
}

void ShowErrorBox(QWidget* owner, std::string_view text)
{
    try {
        ShowErrorBox(owner, decodeMessageText(text));
    } catch (const std::bad_alloc&) {
        showFallBack(Texts::ErrorBoxOutOfMemory);
    }
}

void MessageBoxNotifier::notify(std::string_view text)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (!owner)
        owner = applicationMainWindow();
    // Messages may quote file names, which need not be UTF-8.
    showMessageBox(
        owner, QMessageBox::Warning, QCoreApplication::applicationName(), decodeMessageText(text));
}

} // namespace sorvanel::ui
