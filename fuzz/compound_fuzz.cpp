// Compound files from the fuzzer's input: every stream the tool looks for is read, and the
// whole file imported into a sink that checks the order of its calls. Only ReadError may
// come out.
#include "sheets/compound.h"
#include "sheets/workbook.h"

#include "reader_fuzz.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const brisquel::sheets::CompoundFile file(bytes);
        std::string storage;
        for (const char* name : {"Workbook", "Book", "EncryptionInfo", "Small"})
            if (file.stream(name, storage).size() > size * 64)
                __builtin_trap(); // a stream is never longer than the sectors that hold it
    } catch (const brisquel::sheets::ReadError&) {
    }
    brisquel::fuzz::readChecked(bytes, brisquel::sheets::readCompoundWorkbook);
    return 0;
}
