#include "WhatsNewDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QtTest>

namespace {

// A local update service: answers every request with one status and body,
// or never answers at all. Remembers the last request line.
class UpdateService : public QTcpServer
{
public:
    UpdateService(int status, const QByteArray &body, bool silent = false)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [=] {
                request = socket->readAll().split('\r').value(0);
                if (silent)
                    return;
                socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }
    QByteArray request;
};

QString title(WhatsNewDlg &dialog)
{
    return dialog.findChild<QLabel *>(QStringLiteral("label_title"))->text();
}

} // namespace

class TestWhatsNewDlg : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<bool>("forced");
        QTest::addColumn<QString>("titleStart");
        const QByteArray newer =
            "{\"versionCode\": 7, \"versionName\": \"2.0.5\", \"notes\": \"更快\", \"url\": \"https://x/dl\"}";
        const QByteArray same = R"({"versionCode": 6, "versionName": "2.0.4", "force": true})";
        const QByteArray forced = R"({"versionCode": 8, "versionName": "2.1", "force": true})";
        QTest::newRow("newer, silent") << 200 << newer << false << true << true << false << "发现新版本 2.0.5";
        QTest::newRow("same, silent") << 200 << same << false << false << false << false << "当前已是最新版本";
        QTest::newRow("same, manual") << 200 << same << true << true << false << false << "当前已是最新版本";
        QTest::newRow("forced") << 200 << forced << false << true << true << true << "发现新版本 2.1，需要更新";
        QTest::newRow("malformed, silent")
            << 200 << QByteArray("{oops") << false << false << false << false << "检查更新失败";
        QTest::newRow("malformed, manual")
            << 200 << QByteArray("[1, 2]") << true << true << false << false << "检查更新失败";
        QTest::newRow("server error") << 500 << newer << true << true << false << false << "检查更新失败";
    }
    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, manual);
        QFETCH(bool, shown);
        QFETCH(bool, newer);
        QFETCH(bool, forced);
        QFETCH(QString, titleStart);
        UpdateService service(status, body);
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.checkUpdate(service.url(), manual);
        QTRY_VERIFY(title(dialog).startsWith(titleStart));
        QTest::qWait(50);
        QCOMPARE(dialog.isVisible(), shown);
        QCOMPARE(dialog.hasUpdate(), newer);
        QCOMPARE(dialog.isForceUpdate(), forced);
        QVERIFY(service.request.contains("app=QX7RD"));
        QVERIFY(service.request.contains("version=6"));
        QVERIFY(service.request.contains("machine=abc"));
    }

    void timeOut()
    {
        UpdateService service(200, QByteArray(), true);
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.setTimeout(300);
        dialog.checkUpdate(service.url(), true);
        QTRY_VERIFY_WITH_TIMEOUT(title(dialog).startsWith(QStringLiteral("检查更新失败")), 5000);
        QVERIFY(!dialog.isForceUpdate());
    }

    void finishedWhenDone()
    {
        UpdateService service(200, "{\"versionCode\": 9, \"url\": \"ftp://not-offered\"}");
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.checkUpdate(service.url(), false);
        QTRY_VERIFY(dialog.isVisible());
        QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("btn_download"))->isVisible());
        dialog.findChild<QPushButton *>(QStringLiteral("btn_close"))->click();
        QCOMPARE(finished.count(), 1);
    }

    void computerIdentifierIsAHashNotTheMachineId()
    {
        const QString id = WhatsNewDlg::computerIdentifier(QStringLiteral("QX7RD"));
        QCOMPARE(id.size(), 32);
        QCOMPARE(id, WhatsNewDlg::computerIdentifier(QStringLiteral("QX7RD")));
        QVERIFY(id != WhatsNewDlg::computerIdentifier(QStringLiteral("OTHER")));
        QVERIFY(!id.contains(QString::fromLatin1(QSysInfo::machineUniqueId())));
    }
};

QTEST_MAIN(TestWhatsNewDlg)
#include "tst_whatsnewdlg.moc"
