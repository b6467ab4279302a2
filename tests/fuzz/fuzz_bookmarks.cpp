// libFuzzer target: records save back to their bytes; a damaged file keeps its whole records.
#include "BookmarkFile.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    QList<Bookmark> bookmarks;
    const bool ok = BookmarkFile::read(in, &bookmarks);
    if (size == 0 || bookmarks.isEmpty())
        return 0;
    // The count of a damaged file is not what was kept: compare the records.
    const QByteArray written = BookmarkFile::serialize(bookmarks);
    const int from = ok ? 0 : 4;
    if (written.mid(from) != bytes.mid(from, written.size() - from))
        std::abort();
    return 0;
}
