#include "ui/shell/PathMatch.h"

#include "platform/FileOps.h"
#include "platform/qt/TextDecoding.h"

namespace sorvanel::ui {

namespace {

/// A path as the user reads it.
QString readablePath(std::string_view path)
{
    QString text;
    for (std::size_t start = 0;;) {
        std::size_t end = path.find_first_of(pathSeparators, start);
        text += decodeStoredText(path.substr(start, end - start));
        if (end == std::string_view::npos)
            return text;
        text += QLatin1Char(pathSeparator);
        start = end + 1;
    }
}

} // namespace

Match matchPrefix(std::string_view path, std::string_view prefix)
{
    if (path.starts_with(prefix))
        return {PrefixMatch::Exact, path.size() == prefix.size()};
    QString target = readablePath(path);
    QString start = readablePath(prefix);
    if (target.startsWith(start, Qt::CaseInsensitive))
        return {PrefixMatch::IgnoringCase, target.size() == start.size()};
    return {};
}

} // namespace sorvanel::ui
