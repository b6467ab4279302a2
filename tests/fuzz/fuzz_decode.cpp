// libFuzzer target: any bytes decode within bounds; clean UTF-8 comes back unchanged.
#include "decodeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QString text = decodeText(bytes);
    looksLikeGbk(bytes.constData(), bytes.size());
    // Well-formed UTF-8 (it survives a round trip) must come back as itself.
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        const QString utf8 = QString::fromUtf8(bytes);
        if (utf8.toUtf8() == bytes && text != utf8)
            std::abort();
    }
    return 0;
}
