// The PE version-resource reader. Properties: no value is longer than the cap or holds
// a NUL. The input is not copied, so that under `make fuzz` AddressSanitizer catches any
// read past its end.
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
