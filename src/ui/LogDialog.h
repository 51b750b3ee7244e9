#pragma once

#include "ui/controls/TemplateDialog.h"

#include <string>
#include <vector>

namespace sorvanel::ui {

class ColumnListBox;

/// The "Protokoll" window a clean run shows when it is over: its log lines in a file column
/// and three count columns. It only shows; OK, Enter, Escape and the close box end it.
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

    ColumnListBox* logList() const { return m_logList; }

protected:
    QWidget* createCustomControl(const ControlTemplate& row) override;

private:
    void OnInitDialog();

    const std::vector<std::string>& m_logLines;
    ColumnListBox* m_logList = nullptr;
};

} // namespace sorvanel::ui
