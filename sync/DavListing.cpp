#include "DavListing.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {

const QString kDav = QStringLiteral("DAV:");

bool isDav(const QXmlStreamReader &reader, const char *name)
{
    return reader.namespaceUri() == kDav && reader.name() == QLatin1String(name);
}

QString nameOf(const QString &href)
{
    QString path = QUrl(href).path(QUrl::FullyDecoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.section(QLatin1Char('/'), -1);
}

} // namespace

bool DavListing::parse(const QByteArray &xml, QList<Entry> *entries, QString *why)
{
    entries->clear();
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || !isDav(reader, "multistatus")) {
        *why = QStringLiteral("not a WebDAV listing");
        return false;
    }
    while (reader.readNextStartElement()) {
        if (isDav(reader, "response"))
            entries->append(readResponse(reader));
        else
            reader.skipCurrentElement();
    }
    if (reader.hasError()) {
        *why = reader.errorString();
        entries->clear();
        return false;
    }
    return true;
}

DavListing::Entry DavListing::readResponse(QXmlStreamReader &reader)
{
    Entry entry;
    while (reader.readNextStartElement()) {
        if (isDav(reader, "href")) {
            entry.name = nameOf(reader.readElementText());
        } else if (isDav(reader, "propstat")) {
            Entry found;
            bool good = false;
            while (reader.readNextStartElement()) {
                if (isDav(reader, "prop"))
                    readProp(reader, &found);
                else if (isDav(reader, "status"))
                    good = reader.readElementText().contains(QLatin1String(" 200 "));
                else
                    reader.skipCurrentElement();
            }
            // Only what the server could give counts.
            if (good) {
                entry.tag = found.tag.isEmpty() ? entry.tag : found.tag;
                entry.size = found.size >= 0 ? found.size : entry.size;
                entry.folder = entry.folder || found.folder;
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    return entry;
}

void DavListing::readProp(QXmlStreamReader &reader, Entry *entry)
{
    while (reader.readNextStartElement()) {
        if (isDav(reader, "getetag")) {
            entry->tag = reader.readElementText().trimmed().toLatin1();
        } else if (isDav(reader, "getcontentlength")) {
            bool ok = false;
            const qint64 size = reader.readElementText().trimmed().toLongLong(&ok);
            entry->size = ok && size >= 0 ? size : -1;
        } else if (isDav(reader, "resourcetype")) {
            while (reader.readNextStartElement()) {
                entry->folder = entry->folder || isDav(reader, "collection");
                reader.skipCurrentElement();
            }
        } else {
            reader.skipCurrentElement();
        }
    }
}
