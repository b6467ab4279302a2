#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QXmlStreamReader;

/// The entries of a folder as a WebDAV server lists them (a PROPFIND
/// multistatus reply): names, tags and sizes.
class DavListing
{
public:
    struct Entry
    {
        QString name; // the last part of the path, decoded
        QByteArray tag;
        qint64 size = -1;
        bool folder = false;
    };

    /// False (and `why`) for anything that is not a multistatus reply;
    /// elements of other namespaces and properties a server could not give
    /// are passed over.
    static bool parse(const QByteArray &xml, QList<Entry> *entries, QString *why);

private:
    static Entry readResponse(QXmlStreamReader &reader);
    static void readProp(QXmlStreamReader &reader, Entry *entry);
};
