#include "InstanceChannel.h"
#include "MainWindow.h"
#include "installTranslators.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// A running reader may be busy opening a large book before it listens.
const int kHandOverTimeout = 10000;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Names the per-user data folder (bookmarks of books in read-only folders).
    QCoreApplication::setApplicationName(QStringLiteral("tavril"));
    installTranslators(&app);

    // A book named on the command line ("Open with" in a file manager).
    const QStringList args = app.arguments().mid(1);
    QString book;
    if (args.size() == 1 && !args.first().startsWith(QLatin1Char('-')))
        book = QFileInfo(args.first()).absoluteFilePath();
    else if (!args.isEmpty())
        std::fprintf(stderr, "usage: tavril [BOOK.txt]\n");

    // A reader already runs: it opens the book, or just comes to the front.
    // Two readers on one settings file would undo each other's bookmarks.
    InstanceChannel channel(InstanceChannel::defaultName());
    if (!channel.listen()) {
        const QStringList request =
            book.isEmpty() ? QStringList{QStringLiteral("show")} : QStringList{QStringLiteral("open"), book};
        const InstanceChannel::Answer answer =
            InstanceChannel::send(InstanceChannel::defaultName(), request, kHandOverTimeout);
        if (answer == InstanceChannel::NoReader)
            std::fprintf(stderr, "tavril: another reader is running but does not answer\n");
        return answer == InstanceChannel::Done ? 0 : 1;
    }

    MainWindow window;
    QObject::connect(&channel, &InstanceChannel::requested, &window, &MainWindow::onRequest, Qt::DirectConnection);
    window.show();
    // After the last book's reopen, as the open-file command would.
    if (!book.isEmpty())
        window.openFile(book);
    return app.exec();
}
