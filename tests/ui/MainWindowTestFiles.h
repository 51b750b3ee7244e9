#pragma once

#include "support/MidiBytes.h"
#include "ui/MainDialog.h"
#include "ui/controls/ColumnListView.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <vector>

/// Files on disk and the file list's rows as the main-window tests compare them.
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

} // namespace sorvanel::test
