// libFuzzer target for the PE version-resource reader. Built by build.sh, never by
// the default build. Any read outside the input is caught by AddressSanitizer.
#include "PeVersionReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto info = PeVersion::parse(QByteArrayView(data, qsizetype(size)));
    if (!info)
        return 0;
    for (const auto& table : info->stringTables)
        for (const auto& [name, value] : table.values)
            if (value.size() * 2 > PeVersion::kMaxValueBytes || value.contains(QChar(0)))
                std::abort();
    (void)info->translationKey();
    return 0;
}
