#include "Bookmark.h"

namespace {
const int kRegistered = qRegisterMetaType<Bookmark>("Bookmark");
}

QDataStream &operator<<(QDataStream &out, const Bookmark &bookmark)
{
    return out << qint32(bookmark.offset) << bookmark.title << bookmark.summary;
}

QDataStream &operator>>(QDataStream &in, Bookmark &bookmark)
{
    qint32 offset = 0;
    in >> offset >> bookmark.title >> bookmark.summary;
    bookmark.offset = offset;
    return in;
}

QDebug operator<<(QDebug debug, const Bookmark &bookmark)
{
    debug << "Bookmark(offset:" << bookmark.offset << "title:" << bookmark.title << "summary:" << bookmark.summary
          << ")";
    return debug;
}
