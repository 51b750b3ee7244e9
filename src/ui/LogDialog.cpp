#include "ui/LogDialog.h"

#include "platform/qt/MessageBoxes.h"
#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"
#include "ui/controls/ColumnListBox.h"
#include "ui/controls/GrowLayout.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>

namespace sorvanel::ui {

namespace {

const DialogTemplate logTemplate{"Protokoll", 341, 279};

const ControlTemplate logControls[] = {
    {LogDialog::OkButton, ControlKind::DefaultPushButton, "OK", 145, 262, 50, 14},
    {LogDialog::LogList, ControlKind::Custom, "", 3, 2, 334, 252},
};

constexpr int fileColumnWidth = 350;
constexpr int countColumnWidth = 40;

QString askSavePathWithDialog(QWidget* parent)
{
    // The program's working folder is where its help documents lie, often not writable.
    return QFileDialog::getSaveFileName(parent, toQString(Texts::SaveLogCaption.pick()),
        QDir::home().filePath(QStringLiteral("Protokoll.txt")), toQString(Texts::TextFiles.pick()));
}

} // namespace

LogDialog::LogDialog(const std::vector<std::string>& logLines, QWidget* parent)
    : TemplateDialog(parent)
    , askSavePath(askSavePathWithDialog)
    , m_logLines(logLines)
{
    buildFromTemplate(logTemplate, logControls);
    connect(controlAs<QPushButton>(OkButton), &QPushButton::clicked, this, &QDialog::accept);
    m_templateListWidth = m_logList->width();
    growWithWindow(LogList, {OkButton});

    m_logList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_logList, &QWidget::customContextMenuRequested, this, &LogDialog::onContextMenu);
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, &LogDialog::onCopy);
    OnInitDialog();
}

QWidget* LogDialog::createCustomControl(const ControlTemplate& row)
{
    if (row.id != LogList)
        return TemplateDialog::createCustomControl(row);
    m_logList = new ColumnListBox(this);
    m_logList->setAccessibleName(toQString(Texts::LogListName.pick()));
    return m_logList;
}

void LogDialog::OnInitDialog()
{
    m_logList->SetColumns(
        &LogDialog::LogLineText, this, {fileColumnWidth, countColumnWidth, countColumnWidth});
    for (std::size_t i = 0; i < m_logLines.size(); ++i)
        m_logList->addItem(0);
    // The column heading and the blank line under it stay in place while the files scroll.
    if (m_logLines.size() > 2 && m_logLines.front() == Texts::LogHeader)
        m_logList->setFixedLines(2);
    // Tab and assistive technology read the log before its button; the button has the focus
    // first, so that Enter closes the window at once.
    setTabOrder(m_logList, control(OkButton));
    m_logList->stackUnder(control(OkButton));
    controlAs<QPushButton>(OkButton)->setFocus();
}

void LogDialog::resizeEvent(QResizeEvent* event)
{
    TemplateDialog::resizeEvent(event);
    if (!m_logList || m_templateListWidth == 0)
        return;
    int width = growingColumnWidth(fileColumnWidth, m_templateListWidth, m_logList->width());
    if (m_logList->columnCount() > 0 && m_logList->columnWidths()[0] != width)
        m_logList->SetColumns(
            &LogDialog::LogLineText, this, {width, countColumnWidth, countColumnWidth});
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

QString LogDialog::logText(const std::vector<std::string>& lines)
{
    QString text;
    for (const std::string& line : lines) {
        text += decodeStoredText(line);
        text += u'\n';
    }
    return text;
}

std::optional<QString> LogDialog::saveLogText(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

QString LogDialog::totalsLine(const std::vector<std::string>& lines)
{
    if (lines.size() < 2 || lines.front() != Texts::LogHeader)
        return {};
    long long songs = 0;
    long long counts[3] = {};
    for (std::size_t i = 2; i < lines.size(); ++i) {
        // "name\t%4d\t%4d\t%4d": the counts are the last three fields.
        const QStringList fields = QString::fromLatin1(lines[i]).split(u'\t');
        if (fields.size() < 4)
            continue;
        ++songs;
        for (int k = 0; k < 3; ++k)
            counts[k] += fields[fields.size() - 3 + k].trimmed().toLongLong();
    }
    return toQString(Texts::LogTotals.pick())
        .arg(songs)
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2]);
}

QStringList LogDialog::headingLines(
    const std::string& folder, const CleanOptions* options, const QDateTime& when)
{
    QStringList lines{toQString(Texts::LogFolder.pick()).arg(decodeStoredText(folder)),
        toQString(Texts::LogDate.pick()).arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))};
    if (!options)
        return lines;
    auto hexList = [](const auto& bytes) {
        QStringList values;
        for (const ByteSlot& slot : bytes)
            if (slot.Value >= 0)
                values << QStringLiteral("%1").arg(slot.Value, 2, 16, QLatin1Char('0')).toUpper();
        return values;
    };
    QStringList parts;
    const QStringList manufacturers = hexList(options->ManufacturerId);
    if (!options->DeleteSysExEvents)
        parts << toQString(Texts::SysExKept.pick());
    else if (options->ExceptManufacturerIds && !manufacturers.isEmpty())
        parts << toQString(Texts::SysExDeletedExcept.pick())
                     .arg(manufacturers.join(QStringLiteral(", ")));
    else
        parts << toQString(Texts::SysExDeleted.pick());
    QStringList kept;
    const std::pair<std::int32_t, const char*> standard[] = {{options->BankSelectMSB, "00"},
        {options->Modulation, "01"}, {options->Volume, "07"}, {options->Pan, "0A"},
        {options->Expression, "0B"}, {options->BankSelectLSB, "20"}, {options->Sustain, "40"},
        {options->Reverb, "5B"}, {options->Chorus, "5D"}};
    for (const auto& [on, number] : standard)
        if (on)
            kept << QString::fromLatin1(number);
    kept << hexList(options->Control);
    if (options->PitchBend)
        kept << QStringLiteral("Pitch Bend");
    if (!options->DeleteAllControlEvents)
        parts << toQString(Texts::ControllersKept.pick());
    else if (options->ExceptControlEvents && !kept.isEmpty())
        parts << toQString(Texts::ControllersDeletedExcept.pick())
                     .arg(kept.join(QStringLiteral(", ")));
    else
        parts << toQString(Texts::ControllersDeleted.pick());
    if (options->InsertMidiReset && (options->BeginningOfFile || options->EndOfFile)) {
        QStringList places;
        if (options->BeginningOfFile)
            places << toQString(Texts::BeginningOfFile.pick());
        if (options->EndOfFile)
            places << toQString(Texts::EndOfFile.pick());
        parts << toQString(Texts::ResetsInsertedAt.pick()).arg(places.join(QStringLiteral(", ")));
    }
    lines << toQString(Texts::LogOptions.pick()).arg(parts.join(QStringLiteral("; ")));
    return lines;
}

void LogDialog::markAsPreview()
{
    m_preview = true;
    setWindowTitle(toQString(Texts::PreviewLogCaption.pick()));
}

void LogDialog::onContextMenu(const QPoint& position)
{
    QMenu menu(this);
    menu.addAction(toQString(Texts::CopyLog.pick()), QKeySequence::Copy, this, &LogDialog::onCopy);
    menu.addAction(toQString(Texts::SaveLogAs.pick()), this, &LogDialog::onSaveAs);
    menu.exec(m_logList->viewport()->mapToGlobal(position));
}

void LogDialog::onCopy()
{
    const QString note = m_preview ? toQString(Texts::PreviewLogNote.pick()) + u'\n' : QString();
    QGuiApplication::clipboard()->setText(note + logText(m_logLines));
}

void LogDialog::onSaveAs()
{
    QString path = askSavePath(this);
    if (path.isEmpty())
        return;
    QString text;
    for (const QString& line : savedHeading)
        text += line + u'\n';
    if (!text.isEmpty())
        text += u'\n';
    if (m_preview)
        text += toQString(Texts::PreviewLogNote.pick()) + u'\n';
    text += logText(m_logLines);
    if (QString totals = totalsLine(m_logLines); !totals.isEmpty())
        text += u'\n' + totals + u'\n';
    if (std::optional<QString> failure = saveLogText(path, text))
        showMessageBox(this, QMessageBox::Warning, QCoreApplication::applicationName(),
            toQString(Texts::LogNotSaved.pick()) + u'\n' + path + u'\n' + *failure);
}

} // namespace sorvanel::ui
