#include "MainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QTranslator>

#include <cstdio>

namespace {

// Beside the executable first (a portable copy), then where an installed
// copy keeps it.
void loadTranslation(QTranslator &translator)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QStringLiteral("/translations/lang_zh_CN.qm");
    const QString installed = dir + QStringLiteral("/../share/tavril/translations/lang_zh_CN.qm");
    translator.load(QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed, QString(),
                    QString(), QString());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;
    loadTranslation(translator);
    app.installTranslator(&translator);
    MainWindow window;
    window.show();
    // A book named on the command line ("Open with" in a file manager) opens
    // as the open-file command would, after the last book's reopen.
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && !args.first().startsWith(QLatin1Char('-')))
        window.openFile(args.first());
    else if (!args.isEmpty())
        std::fprintf(stderr, "usage: tavril [BOOK.txt]\n");
    return app.exec();
}
