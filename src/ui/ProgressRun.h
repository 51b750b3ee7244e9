#pragma once

#include "cleaning/RunProgress.h"
#include "settings/Texts.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace sorvanel {
class Notifier;
} // namespace sorvanel

namespace sorvanel::ui {

/// The small window of a long run: what is in hand ("Cleaning 412 of 2000" and the file's
/// name), a bar and Cancel. Cancel, Escape and the close box ask the run to stop; the window
/// stays until the run has stopped.
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent = nullptr);

    /// Shows file `index` (from 0) of `count`, counted with `format` ("… %zu … %zu").
    void showFile(TextPair format, std::size_t index, std::size_t count, const QString& name);
    /// Says the run is stopping and disables Cancel.
    void showStopping();

    QLabel* countLabel() const { return m_count; }
    QLabel* nameLabel() const { return m_name; }
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

public slots:
    void reject() override;

private:
    QLabel* m_count;
    QLabel* m_name;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

/// Runs a long piece of work off the GUI thread. Meanwhile `window` keeps painting but takes
/// no input (so nothing can start twice and it cannot be closed); when the work lasts longer
/// than `showAfterMs`, a modal `ProgressDialog` follows it, and its Cancel stops the work at
/// the next file. Messages the work sends are shown through `notifier` on the GUI thread while
/// the work waits for the user to read them; a message keeps the input until it is answered,
/// so the progress window never opens while one is up, only after it.
class ProgressRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultShowAfterMs = 500;

    ProgressRun(QWidget* window, Notifier& notifier, int showAfterMs = defaultShowAfterMs);
    ~ProgressRun() override;

    /// What the work gets: where its messages go, and a progress callback for the core
    /// counting with the given format; with `stoppable` false its files are counted but Cancel
    /// does not stop it.
    struct Work
    {
        Notifier& notifier;
        std::function<RunProgress(TextPair format, bool stoppable)> progress;
    };

    /// Runs `work` on a worker thread and returns when it has ended; rethrows what it threw.
    void run(const std::function<void(Work&)>& work);
    /// Whether the user asked the run to stop.
    bool cancelled() const { return m_cancelled; }
    /// Whether the progress window was shown during the last run.
    bool dialogShown() const { return m_dialogShown; }

    /// Called on the GUI thread, now and then while the run goes on, with the place of the
    /// file in hand: the files before it are done.
    std::function<void(std::size_t index)> advanced;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDialog();
    /// Shows a message of the work on the GUI thread and returns when it was answered.
    void showMessage(const std::string& text);
    /// Passes the worker's last report on, `always` or only when it is new.
    void refreshDialog(bool always);
    bool belongsToWindow(QObject* object) const;

    QWidget* m_window;
    Notifier& m_notifier;
    int m_showAfterMs;
    QPointer<ProgressDialog> m_dialog;
    bool m_running = false;
    /// How many of the work's messages are up (a box may open while another waits).
    int m_messagesUp = 0;
    /// The progress window was due while a message was up.
    bool m_showDue = false;
    bool m_dialogShown = false;
    std::atomic<bool> m_cancelled = false;

    /// What the worker last reported, read by the GUI thread.
    struct Report
    {
        TextPair format;
        std::size_t index = 0;
        std::size_t count = 0;
        std::string name;
        bool fresh = false;
    };
    std::mutex m_reportLock;
    Report m_report;
};

} // namespace sorvanel::ui
