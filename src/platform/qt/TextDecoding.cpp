#include "platform/qt/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <array>

namespace sorvanel::ui {

namespace {

// Windows-1252 from 0x80 to 0x9F; the rest of its upper half is Latin-1.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

QString fromWindows1252(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0)
            text.append(QChar(windows1252High[byte - 0x80]));
        else
            text.append(QChar(byte));
    }
    return text;
}

/// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view bytes)
{
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                ? 3
        : lead >= 0xF0 && lead <= 0xF4                ? 4
                                                      : 0;
    if (length == 0 || bytes.size() < length)
        return 0;
    // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString decodeMessageText(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    while (!bytes.empty()) {
        std::size_t length = utf8SequenceLength(bytes);
        if (length == 0) {
            text.append(fromWindows1252(bytes.substr(0, 1)));
            length = 1;
        } else {
            text.append(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length)));
        }
        bytes.remove_prefix(length);
    }
    return text;
}

QString decodeStoredText(std::string_view bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

std::string filePathFromQt(const QString& path)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(path).toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString filePathToQt(std::string_view path)
{
    QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
#ifdef Q_OS_WIN
    return QString::fromUtf8(bytes);
#else
    return QFile::decodeName(bytes);
#endif
}

} // namespace sorvanel::ui
