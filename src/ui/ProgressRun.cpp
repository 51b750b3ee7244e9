#include "ui/ProgressRun.h"

#include "platform/Notifier.h"
#include "platform/qt/TextDecoding.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <cstdio>
#include <exception>
#include <memory>

namespace sorvanel::ui {

namespace {

constexpr int nameWidth = 360;
constexpr int refreshMs = 50;

/// Hands the worker's messages to the GUI thread and waits there until the user has read
/// them, as a message box shown by the work itself would.
class GuiThreadNotifier : public Notifier
{
public:
    explicit GuiThreadNotifier(std::function<void(const std::string&)> show)
        : m_show(std::move(show))
    {
    }

    void notify(std::string_view text) override
    {
        std::string copy(text);
        QMetaObject::invokeMethod(
            qApp, [this, &copy] { m_show(copy); }, Qt::BlockingQueuedConnection);
    }

private:
    std::function<void(const std::string&)> m_show;
};

/// What a user does to a window: these are refused while a run works for it.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::ToolTip:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent)
    , m_count(new QLabel(this))
    , m_name(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(toQString(Texts::Cancel.pick()), this))
{
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowTitle(QCoreApplication::applicationName());
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    m_name->setFixedWidth(nameWidth);
    m_bar->setTextVisible(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_name);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressDialog::reject);
}

void ProgressDialog::showFile(
    TextPair format, std::size_t index, std::size_t count, const QString& name)
{
    if (m_cancel->isEnabled()) {
        char text[128];
        std::snprintf(text, sizeof text, std::string(format.pick()).c_str(), index + 1, count);
        m_count->setText(QString::fromUtf8(text));
    }
    m_name->setText(m_name->fontMetrics().elidedText(name, Qt::ElideMiddle, nameWidth));
    m_bar->setRange(0, static_cast<int>(std::min<std::size_t>(count, INT_MAX)));
    m_bar->setValue(static_cast<int>(std::min<std::size_t>(index, INT_MAX)));
}

void ProgressDialog::showStopping()
{
    m_count->setText(toQString(Texts::Stopping.pick()));
    m_cancel->setEnabled(false);
}

void ProgressDialog::reject()
{
    // The window stays until the run has stopped; whoever runs it closes it then.
    if (!m_cancel->isEnabled())
        return;
    showStopping();
    emit cancelRequested();
}

ProgressRun::ProgressRun(QWidget* window, Notifier& notifier, int showAfterMs)
    : m_window(window)
    , m_notifier(notifier)
    , m_showAfterMs(showAfterMs)
{
}

ProgressRun::~ProgressRun() = default;

void ProgressRun::run(const std::function<void(Work&)>& work)
{
    m_cancelled = false;
    m_dialogShown = false;
    m_showDue = false;
    {
        std::lock_guard lock(m_reportLock);
        m_report = Report();
    }
    GuiThreadNotifier notifier([this](const std::string& text) { showMessage(text); });
    Work handle{notifier, [this](TextPair format, bool stoppable) -> RunProgress {
                    return [this, format, stoppable](
                               std::size_t index, std::size_t count, const std::string& name) {
                        {
                            std::lock_guard lock(m_reportLock);
                            m_report = {format, index, count, name, true};
                        }
                        return !(stoppable && m_cancelled);
                    };
                }};

    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(handle);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer showTimer;
    showTimer.setSingleShot(true);
    connect(&showTimer, &QTimer::timeout, this, &ProgressRun::showDialog);
    QTimer refreshTimer;
    connect(&refreshTimer, &QTimer::timeout, this, [this] { refreshDialog(false); });

    m_running = true;
    qApp->installEventFilter(this);
    worker->start();
    showTimer.start(m_showAfterMs);
    refreshTimer.start(refreshMs);
    loop.exec();
    worker->wait();
    qApp->removeEventFilter(this);
    m_running = false;

    if (m_dialog) {
        QGuiApplication::restoreOverrideCursor();
        m_dialog->hide();
        delete m_dialog;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void ProgressRun::showMessage(const std::string& text)
{
    // The box is modal in a loop of its own, where the timers of this run go on firing: the
    // progress window must wait, or it would open above the box and take the input the box
    // waits for.
    ++m_messagesUp;
    try {
        m_notifier.notify(text);
    } catch (...) {
        --m_messagesUp;
        throw;
    }
    if (--m_messagesUp == 0 && m_showDue)
        showDialog();
}

void ProgressRun::showDialog()
{
    if (!m_running || m_dialog)
        return;
    m_showDue = m_messagesUp > 0;
    if (m_showDue)
        return;
    m_dialog = new ProgressDialog(m_window);
    connect(m_dialog, &ProgressDialog::cancelRequested, this, [this] { m_cancelled = true; });
    refreshDialog(true);
    m_dialog->show();
    m_dialogShown = true;
    // The arrow with a busy mark: Cancel can be pressed.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

void ProgressRun::refreshDialog(bool always)
{
    if (!m_dialog && !advanced)
        return;
    Report report;
    {
        std::lock_guard lock(m_reportLock);
        if (!m_report.fresh && !always)
            return;
        m_report.fresh = false;
        report = m_report;
    }
    if (advanced)
        advanced(report.index);
    if (m_dialog)
        m_dialog->showFile(
            report.format, report.index, report.count, decodeStoredText(report.name));
}

bool ProgressRun::belongsToWindow(QObject* object) const
{
    for (; object; object = object->parent())
        if (auto* widget = qobject_cast<QWidget*>(object))
            return widget->window() == m_window;
    return false;
}

bool ProgressRun::eventFilter(QObject* watched, QEvent* event)
{
    if (m_running && isUserInput(event->type()) && belongsToWindow(watched)) {
        // Ignored as well as eaten: a refused close request leaves the window open.
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace sorvanel::ui
