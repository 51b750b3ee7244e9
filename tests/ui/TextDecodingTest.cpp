#include "platform/qt/TextDecoding.h"

#include <QTest>

#include <string>

using sorvanel::ui::decodeMessageText;
using sorvanel::ui::decodeStoredText;

class TextDecodingTest : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // where it differs from `text`

        QTest::newRow("empty") << QByteArray() << QString() << QString();
        QTest::newRow("ASCII") << QByteArray("Moonlight Sonata")
                               << QStringLiteral("Moonlight Sonata") << QString();
        QTest::newRow("UTF-8 umlauts")
            << QByteArray("F\xC3\xBCr Elise") << QString::fromUtf8("Für Elise") << QString();
        QTest::newRow("UTF-8 beyond the BMP")
            << QByteArray("\xF0\x9F\x8E\xB9") << QString::fromUtf8("\xF0\x9F\x8E\xB9") << QString();
        // Older files were written in the Windows code page.
        QTest::newRow("Windows-1252 umlaut")
            << QByteArray("F\xFCr Elise") << QString::fromUtf8("Für Elise") << QString();
        QTest::newRow("Windows-1252 quotes and euro")
            << QByteArray("\x93Hi\x94 \x80 5") << QString::fromUtf8("“Hi” € 5") << QString();
        QTest::newRow("Windows-1252 undefined byte keeps its value")
            << QByteArray("a\x81z") << QString(QStringLiteral("a") + QChar(0x81) + QChar('z'))
            << QString();
        // Not UTF-8 as a whole: every byte is read the old way, also a valid-looking pair.
        // A message keeps its own UTF-8 letters beside a quoted name in the old code page.
        QTest::newRow("mixed") << QByteArray("\xC3\xA4 \xE4") << QString::fromUtf8("Ã¤ ä")
                               << QString::fromUtf8("ä ä");
        QTest::newRow("truncated UTF-8 sequence at the end")
            << QByteArray("ab\xC3") << QString::fromUtf8("abÃ") << QString();
        QTest::newRow("overlong encoding of '/'")
            << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯") << QString();
        QTest::newRow("encoded surrogate")
            << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\xC2\xA0€") << QString();
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, message);
        std::string stored(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        QCOMPARE(decodeStoredText(stored), text);
        QCOMPARE(decodeMessageText(stored), message.isNull() ? text : message);
    }
};

QTEST_GUILESS_MAIN(TextDecodingTest)
#include "TextDecodingTest.moc"
