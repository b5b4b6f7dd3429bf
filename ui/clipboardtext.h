// Clipboard text turned into what the import and the condition fields take.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// How the clipboard reader treats line ends. Spreadsheets on Windows end every row of a
// copied sheet with CR LF, which is what the import cuts rows at; spreadsheets on Linux
// (LibreOffice Calc, Gnumeric) end rows with LF alone.
enum class LineEnds {
    AsCopied,      // the text is taken as it stands
    WidenLineFeeds // a text with LF but no CR LF has every LF turned into CR LF
};

// The reader's choice on this platform: Windows text is taken as it stands.
constexpr LineEnds platformLineEnds() {
#ifdef Q_OS_WIN
    return LineEnds::AsCopied;
#else
    return LineEnds::WidenLineFeeds;
#endif
}

// The clipboard text as the import takes it: UTF-8, with the line ends treated as asked.
QByteArray reportTextFromClipboard(QStringView clipboard, LineEnds lineEnds);

// The clipboard text as a double-click pastes it into a field: a copied cell ends in a
// line break (CR LF, or LF on Linux) that would keep the field from ever equalling a cell,
// so the CR and LF characters at the very end are dropped; every other character is kept.
QString fieldTextFromClipboard(QString clipboard);
