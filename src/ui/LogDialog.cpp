#include "ui/LogDialog.h"

#include "ui/TextDecoding.h"
#include "ui/controls/ColumnListBox.h"

#include <QPushButton>

namespace sorvanel::ui {

namespace {

const DialogTemplate logTemplate{"Protokoll", 341, 279};

const ControlTemplate logControls[] = {
    {LogDialog::OkButton, ControlKind::DefaultPushButton, "OK", 145, 262, 50, 14},
    {LogDialog::LogList, ControlKind::Custom, "", 3, 2, 334, 252},
};

} // namespace

LogDialog::LogDialog(const std::vector<std::string>& logLines, QWidget* parent)
    : TemplateDialog(parent)
    , m_logLines(logLines)
{
    buildFromTemplate(logTemplate, logControls);
    connect(controlAs<QPushButton>(OkButton), &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
}

QWidget* LogDialog::createCustomControl(const ControlTemplate& row)
{
    if (row.id != LogList)
        return TemplateDialog::createCustomControl(row);
    m_logList = new ColumnListBox(this);
    return m_logList;
}

void LogDialog::OnInitDialog()
{
    m_logList->SetColumns(&LogDialog::LogLineText, this, {350, 40, 40});
    for (std::size_t i = 0; i < m_logLines.size(); ++i)
        m_logList->AddItem(0);
    controlAs<QPushButton>(OkButton)->setFocus();
}

bool LogDialog::LogLineText(int index, QString& text, void* providerData)
{
    const auto* dialog = static_cast<const LogDialog*>(providerData);
    if (index < 0 || static_cast<std::size_t>(index) >= dialog->m_logLines.size())
        return false;
    const std::string& line = dialog->m_logLines[static_cast<std::size_t>(index)];
    // A line carries a file name as the folder listing gave its bytes.
    text = decodeStoredText(line);
    return true;
}

} // namespace sorvanel::ui
