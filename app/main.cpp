#include "BuildSettings.h"
#include "CommandTable.h"
#include "FileNameCodec.h"
#include "InstanceChannel.h"
#include "MainWindow.h"
#include "Reader.h"
#include "ScriptConverter.h"
#include "TerminationSignals.h"
#include "configSettings.h"
#include "installTranslators.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTextStream>

#include <cstdio>

namespace {

// A running reader may be busy opening a large book before it answers.
const int kHandOverTimeout = 10000;

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString usage()
{
    return QStringLiteral(
        "usage: tavril [BOOK.txt]\n       tavril --command NAME\n       tavril --help\n       tavril --version\n");
}

int help()
{
    QString text =
        usage() + QStringLiteral("\nOpens BOOK.txt, or the last book, in the reader. Started again while it runs, "
                                 "it hands the book\nto the running reader and brings it to the front.\n\n"
                                 "--command NAME runs a command in the running reader, for the desktop's own "
                                 "keyboard settings:\n");
    for (const CommandInfo &command : CommandTable::rows())
        text +=
            QStringLiteral("  %1%2\n").arg(QLatin1String(command.name), -18).arg(CommandTable::label(command.command));
    print(stdout, text);
    return 0;
}

int sendCommand(const QString &name)
{
    if (!CommandTable::byName(name)) {
        print(stderr, QStringLiteral("tavril: unknown command \"%1\" (tavril --help lists them)\n").arg(name));
        return 2;
    }
    QString error;
    const QString channel = InstanceChannel::defaultName(&error);
    if (channel.isEmpty()) {
        print(stderr, QStringLiteral("tavril: %1\n").arg(error));
        return 1;
    }
    if (!InstanceChannel::readerRuns(channel)) {
        print(stderr, QStringLiteral("tavril: no reader is running\n"));
        return 1;
    }
    const InstanceChannel::Answer answer =
        InstanceChannel::send(channel, {QStringLiteral("command"), name}, kHandOverTimeout);
    if (answer == InstanceChannel::Done)
        return 0;
    print(stderr, answer == InstanceChannel::NoReader ? QStringLiteral("tavril: the reader does not answer\n")
                                                      : QStringLiteral("tavril: the reader refused the command\n"));
    return 1;
}

// Help, the version and commands for the running reader: they need no
// display, so that they work over ssh or from a service.
bool needsNoWindow(int argc, char *argv[])
{
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    return first == "--help" || first == "-h" || first == "--version" || first == "--command";
}

int withoutWindow(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    FileNameCodec::install();
    QCoreApplication::setApplicationName(QStringLiteral("tavril"));
    installTranslators(&app);
    const QStringList args = app.arguments().mid(1);
    if (args.first() == QLatin1String("--command")) {
        if (args.size() == 2)
            return sendCommand(args.at(1));
        print(stderr, usage());
        return 2;
    }
    if (args.size() != 1) {
        print(stderr, usage());
        return 2;
    }
    if (args.first() == QLatin1String("--version")) {
        print(stdout, QStringLiteral("tavril %1 (%2-%3)\n")
                          .arg(QStringLiteral(TAVRIL_VERSION))
                          .arg(TAVRIL_VERSION_CODE)
                          .arg(QStringLiteral(TAVRIL_COMMIT)));
        return 0;
    }
    return help();
}

} // namespace

int main(int argc, char *argv[])
{
    if (needsNoWindow(argc, argv))
        return withoutWindow(argc, argv);
    // The reader paints with QPainter only: without OpenGL the X11 window
    // comes up several times faster (no driver to load), and the first page
    // with it.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // On a screen scaled to 200 % the window, its dialogs and its text are
    // as large as at 100 %, and sharp; sizes stay in logical pixels.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    // Before the arguments are read: a book whose name is not UTF-8 opens too.
    FileNameCodec::install();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/ico/res/tavril-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // Names the per-user data folder (bookmarks of books in read-only folders).
    QCoreApplication::setApplicationName(QStringLiteral("tavril"));
    // The desktop knows the reader by its desktop entry (the portal needs it).
    QGuiApplication::setDesktopFileName(QStringLiteral("tavril"));
    // The tables of another script take tens of milliseconds to load: on a
    // worker while the window is built.
    const int script = configSettings()->value(QStringLiteral("clean/script")).toInt();
    if (script > 0 && script <= ScriptConverter::HongKong)
        ScriptConverter::preload(ScriptConverter::Form(script));
    installTranslators(&app);

    const QStringList args = app.arguments().mid(1);
    // A book named on the command line ("Open with" in a file manager).
    QString book;
    if (args.size() == 1 && !args.first().startsWith(QLatin1Char('-')))
        book = QFileInfo(args.first()).absoluteFilePath();
    else if (!args.isEmpty())
        print(stderr, usage());

    // A reader already runs: it opens the book, or just comes to the front.
    // Two readers on one settings file would undo each other's bookmarks.
    QString error;
    const QString channelName = InstanceChannel::defaultName(&error);
    if (channelName.isEmpty()) {
        print(stderr, QStringLiteral("tavril: %1\n").arg(error));
        return 1;
    }
    InstanceChannel channel(channelName);
    if (!channel.listen()) {
        const QStringList request = book.isEmpty() ? QStringList{QStringLiteral("show")}
                                                   : QStringList{QStringLiteral("open"), FileNameCodec::toStored(book)};
        const InstanceChannel::Answer answer = InstanceChannel::send(channelName, request, kHandOverTimeout);
        if (answer == InstanceChannel::NoReader)
            print(stderr, QStringLiteral("tavril: another reader is running but does not answer\n"));
        return answer == InstanceChannel::Done ? 0 : 1;
    }

    MainWindow window;
    QObject::connect(&channel, &InstanceChannel::requested, &window, &MainWindow::onRequest, Qt::DirectConnection);
    // Logging out ends the reader as its quit command does, and a session
    // manager that saves the session gets the reading place written first.
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &window, &MainWindow::quit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window] { window.readerObject()->book()->flushBookmarks(); });
    window.show();
    // After the last book's reopen, as the open-file command would.
    if (!book.isEmpty())
        window.openFile(book);
    return app.exec();
}
