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
// or never answers at all. Remembers the last request.
class UpdateService : public QTcpServer
{
public:
    UpdateService(int status, const QByteArray &body, bool silent = false, const QByteArray &headers = QByteArray())
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [=] {
                request = socket->readAll();
                if (silent)
                    return;
                socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\n" + headers +
                              "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }
    QByteArray request;
};

// Sends a body far longer than any answer, for as long as the client reads.
class EndlessService : public QTcpServer
{
public:
    EndlessService()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n");
                feed(socket);
            });
            connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
                if (socket->bytesToWrite() < 65536)
                    feed(socket);
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }
    qint64 sent = 0;

private:
    void feed(QTcpSocket *socket)
    {
        if (sent < 3000000000LL && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(QByteArray(65536, '{'));
            sent += 65536;
        }
    }
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

    void failuresSayWhy_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("silent");
        QTest::newRow("no answer in time") << "连接超时" << QByteArray() << QByteArray() << true;
        // A valid answer hidden in 70 KB of padding is still far too large.
        QTest::newRow("too large") << "服务器的回答过大" << QByteArray()
                                   << QByteArray(R"({"versionCode": 9})") + QByteArray(70000, ' ') << false;
        // 40 MB of zeros in 40 KB: taken as it comes, it is no answer, and
        // nothing inflates it.
        QByteArray zeros(40 * 1024 * 1024, '\0');
        QTest::newRow("compressed") << "服务器的回答无法识别" << QByteArray("Content-Encoding: gzip\r\n")
                                    << qCompress(zeros).mid(4) << false;
    }
    void failuresSayWhy()
    {
        QFETCH(QString, problem);
        QFETCH(QByteArray, headers);
        QFETCH(QByteArray, body);
        QFETCH(bool, silent);
        UpdateService service(200, body, silent, headers);
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.setTimeout(300);
        dialog.checkUpdate(service.url(), true);
        QTRY_COMPARE_WITH_TIMEOUT(title(dialog), QStringLiteral("检查更新失败：") + problem, 5000);
        QVERIFY(!dialog.hasUpdate() && !dialog.isForceUpdate());
        QVERIFY(service.request.contains("Accept-Encoding: identity"));
    }

    void anEndlessAnswerIsCutOff()
    {
        EndlessService service;
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.checkUpdate(service.url(), true);
        QTRY_COMPARE_WITH_TIMEOUT(title(dialog), QStringLiteral("检查更新失败：服务器的回答过大"), 5000);
        QTest::qWait(100);
        QVERIFY(service.sent < 16 * 1024 * 1024);
    }

    void downloadsOnlyOverHttps_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<bool>("offered");
        QTest::newRow("https") << QByteArray("HTTPS://x/dl") << true;
        QTest::newRow("http") << QByteArray("http://x/dl") << false;
        QTest::newRow("ftp") << QByteArray("ftp://x/dl") << false;
    }
    void downloadsOnlyOverHttps()
    {
        QFETCH(QByteArray, url);
        QFETCH(bool, offered);
        UpdateService service(200, "{\"versionCode\": 9, \"url\": \"" + url + "\"}");
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.checkUpdate(service.url(), false);
        QTRY_VERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btn_download"))->isVisible(), offered);
        dialog.findChild<QPushButton *>(QStringLiteral("btn_close"))->click();
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_MAIN(TestWhatsNewDlg)
#include "tst_whatsnewdlg.moc"
