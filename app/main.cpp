#include "MainWindow.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;
    translator.load(QCoreApplication::applicationDirPath() + QStringLiteral("/translations/lang_zh_CN.qm"), QString(),
                    QString(), QString());
    app.installTranslator(&translator);
    MainWindow window;
    window.show();
    return app.exec();
}
