#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace sorvanel::ui {

/// A UTF-8 text of the program (a message, a caption, a stored option) for Qt.
QString toQString(std::string_view text);

/// Text stored as bytes of unknown encoding (song titles, file names) as it is shown: the bytes
/// read as UTF-8 when they are valid UTF-8, else as Windows-1252, the encoding older song files
/// were written in. Bytes that Windows-1252 leaves undefined keep their own value.
QString decodeStoredText(std::string_view bytes);

/// A message that may quote stored bytes (a file name inside a UTF-8 sentence): each valid
/// UTF-8 sequence as UTF-8, every other byte as Windows-1252, so that neither the sentence's
/// own letters nor the quoted name turn into replacement characters.
QString decodeMessageText(std::string_view bytes);

/// A path from Qt's file classes as the file layer takes it: the file system's bytes; on
/// Windows UTF-8 with the system's separators.
std::string filePathFromQt(const QString& path);

/// A file layer's path for Qt's file classes.
QString filePathToQt(std::string_view path);

} // namespace sorvanel::ui
