// Clipboard text for the import (UTF-8 rows ending in CR LF) and for the condition fields.
#include "clipboardtext.h"

#include "engine/memory.h"

namespace {

// Whether the text holds a CR LF pair. A copy made on Linux holds no CR at all, so this
// is one quick search for CR through the whole text.
bool containsCrLf(QStringView text) {
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', cr + 1)) {
        if (cr + 1 < text.size() && text[cr + 1] == u'\n')
            return true;
    }
    return false;
}

// Writes the text as UTF-8 to `out`, which has room for three bytes per UTF-16 unit and
// three more, and returns the number of bytes written; with `widen`, every LF is written
// as CR LF. A whole sheet is a hundred million units that switch between Chinese and
// ASCII every few characters, so each unit is written as three byte stores chosen without
// branches and the output moves on by the unit's length; only surrogates take a branch.
qsizetype encodeUtf8(QStringView text, bool widen, char* out) {
    char* const start = out;
    const char16_t* unit = text.utf16();
    const char16_t* const end = unit + text.size();
    while (unit < end) {
        const char32_t c = *unit++;
        if (QChar::isSurrogate(c)) {
            if (!QChar::isHighSurrogate(c) || unit == end || !QChar::isLowSurrogate(*unit)) {
                *out++ = '?'; // half a pair, written as Qt writes it
                continue;
            }
            const char32_t code = QChar::surrogateToUcs4(static_cast<char16_t>(c), *unit++);
            *out++ = static_cast<char>(0xF0 | code >> 18);
            *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
            continue;
        }
        const bool one = c < 0x80;
        const bool two = c < 0x800;
        const bool lineFeed = widen && c == u'\n';
        const char32_t b0 = one ? c : two ? (0xC0 | c >> 6) : (0xE0 | c >> 12);
        const char32_t b1 = two ? (0x80 | (c & 0x3F)) : (0x80 | (c >> 6 & 0x3F));
        const char32_t b2 = 0x80 | (c & 0x3F);
        out[0] = static_cast<char>(lineFeed ? u'\r' : b0);
        out[1] = static_cast<char>(lineFeed ? u'\n' : b1);
        out[2] = static_cast<char>(b2);
        out += lineFeed ? 2 : one ? 1 : two ? 2 : 3;
    }
    return out - start;
}

} // namespace

QByteArray reportTextFromClipboard(QStringView clipboard, LineEnds lineEnds) {
    const bool widen =
        lineEnds == LineEnds::WidenLineFeeds && clipboard.contains(u'\n') && !containsCrLf(clipboard);
    // Room for the longest encoding; the pages beyond what is written are never touched,
    // so they cost address space, not memory.
    QByteArray text(clipboard.size() * 3 + 3, Qt::Uninitialized);
    brisquel::adviseHugePages(text.data(), static_cast<std::size_t>(text.size()));
    text.resize(encodeUtf8(clipboard, widen, text.data()));
    return text;
}

QString fieldTextFromClipboard(QString clipboard) {
    qsizetype end = clipboard.size();
    while (end > 0 && (clipboard[end - 1] == u'\r' || clipboard[end - 1] == u'\n'))
        --end;
    clipboard.truncate(end);
    return clipboard;
}
