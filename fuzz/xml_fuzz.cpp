// Scans the input as XML whole and again in pieces whose size its first byte gives: both
// must give the same events, or both refuse it.
#include "sheets/sheet_sink.h"
#include "sheets/xml.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string transcript(std::string_view document, std::size_t pieceSize) {
    using brisquel::sheets::XmlScanner;
    // Each piece in the same memory, as the inflater hands them over.
    std::string piece;
    XmlScanner xml(
        [&] {
            piece.assign(piece.size(), '?');
            piece = document.substr(0, pieceSize);
            document.remove_prefix(piece.size());
            return std::string_view(piece);
        },
        "p");
    std::string out;
    bool inText = false;
    try {
        for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
            // Text may come in more events when cut: a run of them counts as one.
            if (event != XmlScanner::Event::Text || !inText)
                out += static_cast<char>(1 + static_cast<int>(event));
            inText = event == XmlScanner::Event::Text;
            if (inText) {
                out += xml.text();
            } else {
                out.append(xml.name()).append("\x05");
                if (event == XmlScanner::Event::Start)
                    out.append(xml.attribute("r"));
            }
        }
    } catch (const brisquel::sheets::ReadError&) {
        return "refused";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view document(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string whole = transcript(document, document.size() + 1);
    const std::string cut = transcript(document, 1 + data[0] % 16);
    if (whole != cut)
        std::abort();
    return 0;
}
