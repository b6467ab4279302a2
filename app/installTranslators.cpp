#include "installTranslators.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

void installTranslators(QCoreApplication *app)
{
    auto *qt = new QTranslator(app);
    qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    app->installTranslator(qt);

    // Beside the executable first (a portable copy), then where an installed
    // copy keeps it.
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QStringLiteral("/translations/lang_zh_CN.qm");
    const QString installed = dir + QStringLiteral("/../share/tavril/translations/lang_zh_CN.qm");
    auto *own = new QTranslator(app);
    own->load(QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed, QString(), QString(),
              QString());
    app->installTranslator(own);
}
