// tavril-inspect: looks at books the way the reader does, from a terminal.
//   tavril-inspect decode FILE    the text as the reader holds it, as UTF-8

#include "decodeText.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "tavril-inspect: %s\n", qPrintable(message));
    return 2;
}

int usage()
{
    return fail(QStringLiteral("usage: tavril-inspect decode FILE"));
}

bool readFile(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *error = QStringLiteral("no such file: %1").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int decode(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (!readFile(path, &bytes, &error))
        return fail(error);
    QString text = decodeText(bytes);
    text.remove(QLatin1Char('\r'));
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args.at(0) == QLatin1String("decode"))
        return decode(args.at(1));
    return usage();
}
