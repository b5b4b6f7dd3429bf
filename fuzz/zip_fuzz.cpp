// Reads every entry of the archive the input is, as the workbook readers do: nothing may
// crash, hang or inflate past what an entry declares.
#include "sheets/sheet_sink.h"
#include "sheets/zip.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisquel::sheets;
    try {
        const ZipArchive archive(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const ZipEntry& entry : archive.entries()) {
            try {
                ZipEntryReader reader(archive, entry);
                std::uint64_t total = 0;
                for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
                    total += piece.size();
                    if (total > entry.size)
                        std::abort();
                }
                if (total != entry.size)
                    std::abort();
            } catch (const ReadError&) {
            }
        }
    } catch (const ReadError&) {
    }
    return 0;
}
