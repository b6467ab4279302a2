// libFuzzer target: loading any bookmark file either fails cleanly or gives
// records that save back to the same bytes.
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
    if (!ok && !bookmarks.isEmpty())
        std::abort();
    if (ok && size > 0) {
        QByteArray written;
        QBuffer out(&written);
        out.open(QIODevice::WriteOnly);
        BookmarkFile::write(out, bookmarks);
        if (written != bytes.left(written.size()))
            std::abort();
    }
    return 0;
}
