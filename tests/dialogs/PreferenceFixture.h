#pragma once

// A reading window with a small book open and its preference dialog, as the
// preferences command builds it, on a fresh ini file.

#include "HotKeyManager.h"
#include "MainWindow.h"
#include "PreferenceDialog.h"
#include "PreferenceTestSupport.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QComboBox>
#include <QFile>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class PreferenceFixture
{
public:
    /// Keeps the update checks off the network: every request goes to a
    /// local proxy that never answers, so it stays pending until aborted.
    void isolateNetwork()
    {
        silentProxy.listen(QHostAddress::LocalHost);
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), silentProxy.serverPort()));
    }

    /// @p prepare runs on the configuration before the dialog is built.
    /// False when the window could not show the book.
    bool build(const std::function<void(ReaderConfig *)> &prepare = nullptr)
    {
        QFile::remove(testIniPath());
        window.reset(new MainWindow);
        window->resize(300, 200);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        window->openFile(writeBook());
        // The page is laid out once the window has painted and the resize delay has run.
        if (!QTest::qWaitFor([this] { return !reader()->lines().isEmpty(); }))
            return false;
        if (prepare)
            prepare(config());
        dialog = new PreferenceDialog(config(), hotKeys(), window.get());
        dialog->setWindowFlags(Qt::Dialog);
        dialog->show();
        return QTest::qWaitForWindowExposed(dialog);
    }

    void tearDown()
    {
        window.reset(); // deletes the dialog too
        QFile::remove(testIniPath());
    }

    ReaderConfig *config() const { return window->configObject(); }
    Reader *reader() const { return window->readerObject(); }
    HotKeyManager *hotKeys() const { return window->hotKeys(); }
    template <typename T> T *child(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }

    std::unique_ptr<MainWindow> window;
    PreferenceDialog *dialog = nullptr;

private:
    QString writeBook()
    {
        QString text;
        for (int i = 1; i <= 40; ++i)
            text +=
                QStringLiteral("第%1章 开端\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影，"
                               "又低头看了看船舱里的鱼。\n")
                    .arg(i);
        const QString path = dir.filePath(QStringLiteral("book.txt"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return path;
    }

    QTemporaryDir dir;
    QTcpServer silentProxy;
};

/// Chooses @p text in @p combo the way a user does, so that it is "activated".
inline void activate(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index > 0 ? index - 1 : index + 1);
    QTest::keyClick(combo, index > 0 ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(combo->currentText(), text);
}
