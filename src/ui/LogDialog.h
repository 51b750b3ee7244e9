#pragma once

#include "cleaning/CleanOptions.h"
#include "ui/controls/TemplateDialog.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorvanel::ui {

class ColumnListBox;

/// The "Protokoll" window a clean run shows when it is over: its log lines in a file column
/// and three count columns. It only shows; OK, Enter, Escape and the close box end it. It can
/// be enlarged (the file column gets the room), and its context menu and Ctrl+C copy the log,
/// "Save As…" writes it to a text file.
class LogDialog : public TemplateDialog
{
    Q_OBJECT

public:
    enum ControlId { OkButton = 1, LogList = 1125 };

    /// `logLines` (UTF-8) stay the caller's and must outlive the window.
    explicit LogDialog(const std::vector<std::string>& logLines, QWidget* parent = nullptr);

    /// The log list's text provider: line `index` of the window given as `providerData`;
    /// false, with `text` untouched, for an index that is not a line.
    static bool LogLineText(int index, QString& text, void* providerData);

    /// The whole log as text: each line as shown, ended by a line feed.
    static QString logText(const std::vector<std::string>& lines);
    /// Writes `text` as UTF-8 to `path`, replacing the file only once all of it is written;
    /// the reason when that fails.
    static std::optional<QString> saveLogText(const QString& path, const QString& text);

    /// The totals line of a clean's log: songs changed and the events removed and inserted,
    /// in the interface language; empty for any other log.
    static QString totalsLine(const std::vector<std::string>& lines);
    /// What a saved log starts with: the folder, the date and time `when`, and with `options`
    /// what they delete and insert, in the interface language.
    static QStringList headingLines(
        const std::string& folder, const CleanOptions* options, const QDateTime& when);

    /// Captions the window as a preview's; its copied and saved text then say so first.
    void markAsPreview();
    bool isPreview() const { return m_preview; }
    /// The lines a saved log starts with (see `headingLines`); none by default.
    QStringList savedHeading;

    ColumnListBox* logList() const { return m_logList; }

    /// Asks where to save the log; an empty answer cancels. Tests replace it.
    std::function<QString(QWidget* parent)> askSavePath;

public slots:
    void onCopy();
    void onSaveAs();

protected:
    QWidget* createCustomControl(const ControlTemplate& row) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitDialog();
    void onContextMenu(const QPoint& position);

    const std::vector<std::string>& m_logLines;
    ColumnListBox* m_logList = nullptr;
    int m_templateListWidth = 0;
    bool m_preview = false;
};

} // namespace sorvanel::ui
