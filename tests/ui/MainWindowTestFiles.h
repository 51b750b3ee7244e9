#pragma once

#include "support/MidiBytes.h"
#include "ui/MainDialog.h"
#include "ui/controls/ColumnListView.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <string>
#include <vector>

/// Files on disk and the file list's rows as the main-window tests compare them, and the
/// services they open the window with.
namespace sorvanel::test {

inline void writeFile(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray asBytes(const Bytes& bytes)
{
    return QByteArray(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

/// Each row of the file list as "file name|title".
inline QStringList rowTexts(const ui::MainDialog& dialog)
{
    QStringList rows;
    for (int row = 0; row < dialog.fileList()->getItemCount(); ++row) {
        std::vector<QString> texts = dialog.fileList()->rowTexts(row);
        rows << texts.at(0) + QLatin1Char('|') + texts.at(1);
    }
    return rows;
}

/// What the main-window tests give the window: `store`, `files` (none where nothing is scanned)
/// and `notifier`; the language is taken as stored, the chooser never runs; each log is kept
/// in `logs` when given; a help document counts as opened. The other dialogs stay unset for
/// the test to answer.
inline ui::MainDialogServices recordingServices(SettingsStore& store, FileOps* files,
    Notifier& notifier, std::vector<std::vector<std::string>>* logs = nullptr)
{
    ui::MainDialogServices s;
    s.store = &store;
    s.files = files;
    s.notifier = &notifier;
    s.runLanguageChooser = [] { return false; };
    if (logs)
        s.showLog = [logs](QWidget*, const std::vector<std::string>& lines) {
            logs->push_back(lines);
        };
    s.openDocument = [](const QString&, const QString&) { return true; };
    return s;
}

} // namespace sorvanel::test
