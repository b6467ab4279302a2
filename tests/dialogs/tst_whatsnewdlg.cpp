#include "WhatsNewDlg.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {

QByteArray http(int status, const QByteArray &body, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// A local update service that remembers the last request and answers it
// with `answer`, with nothing (Silent), or with `answer` followed by braces
// for as long as the client reads (Endless).
class UpdateService : public QTcpServer
{
public:
    enum Mode { Answer, Silent, Endless };

    explicit UpdateService(const QByteArray &answer, Mode mode = Answer)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [=] {
                request = socket->readAll();
                if (mode != Silent)
                    socket->write(answer);
                if (mode == Answer)
                    socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::bytesWritten, socket, [=] {
                if (mode == Endless && socket->state() == QAbstractSocket::ConnectedState &&
                    socket->bytesToWrite() < 65536 && sent < 3000000000LL) {
                    socket->write(QByteArray(65536, '{'));
                    sent += 65536;
                }
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }

    QByteArray request;
    qint64 sent = 0;
};

QString titleOf(WhatsNewDlg &dialog)
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
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QString>("title"); // how it starts
        // (No raw string here: moc takes the "//" in it for a comment.)
        const QByteArray newer = http(
            200, "{\"versionCode\": 7, \"versionName\": \"2.0.5\", \"notes\": \"更快\", \"url\": \"https://x/dl\"}");
        const QByteArray same = http(200, R"({"versionCode": 6, "versionName": "2.0.4", "force": true})");
        const QByteArray forced = http(200, R"({"versionCode": 8, "versionName": "2.1", "force": true})");
        const int silent = UpdateService::Silent, endless = UpdateService::Endless;
        QTest::newRow("newer, silent") << newer << "shown newer" << 0 << false << "发现新版本 2.0.5";
        QTest::newRow("same, silent") << same << "" << 0 << false << "当前已是最新版本";
        QTest::newRow("same, manual") << same << "shown" << 0 << true << "当前已是最新版本";
        QTest::newRow("forced") << forced << "shown newer forced" << 0 << false << "发现新版本 2.1，需要更新";
        QTest::newRow("malformed, silent") << http(200, "{oops") << "" << 0 << false << "检查更新失败";
        QTest::newRow("server error") << http(500, "{}") << "shown" << 0 << true << "检查更新失败";
        QTest::newRow("no answer in time") << QByteArray() << "shown" << silent << true << "检查更新失败：连接超时";
        // A valid answer hidden in 70 KB of padding is still far too large.
        const QByteArray padded = http(200, QByteArray(R"({"versionCode": 9})") + QByteArray(70000, ' '));
        QTest::newRow("too large") << padded << "shown" << 0 << true << "检查更新失败：服务器的回答过大";
        const QByteArray endlessHead("HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n");
        QTest::newRow("endless") << endlessHead << "shown" << endless << true << "检查更新失败：服务器的回答过大";
        // 40 MB of zeros in 40 KB: taken as it comes, it is no answer, and nothing inflates it.
        const QByteArray zeros = http(200, qCompress(QByteArray(40 << 20, '\0')).mid(4), "Content-Encoding: gzip\r\n");
        QTest::newRow("compressed") << zeros << "shown" << 0 << true << "检查更新失败：服务器的回答无法识别";
    }

    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, state);
        QFETCH(int, mode);
        QFETCH(bool, manual);
        QFETCH(QString, title);
        UpdateService service(answer, UpdateService::Mode(mode));
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.setTimeout(300);
        dialog.checkUpdate(service.url(), manual);
        QTRY_VERIFY_WITH_TIMEOUT(titleOf(dialog).startsWith(title), 5000);
        QTest::qWait(50);
        const QStringList shown = {dialog.isVisible() ? "shown" : "", dialog.hasUpdate() ? "newer" : "",
                                   dialog.isForceUpdate() ? "forced" : ""};
        QCOMPARE(shown.join(' ').simplified(), state);
        QVERIFY(service.request.startsWith("GET /app/update?app=QX7RD&version=6&machine=abc "));
        QVERIFY(service.request.contains("Accept-Encoding: identity"));
        QVERIFY(service.sent < 16 * 1024 * 1024); // the endless one was cut off
    }

    void downloadsOnlyOverHttps()
    {
        // A download offered over plain http could be swapped on the way.
        for (const char *url : {"HTTPS://x/dl", "http://x/dl", "ftp://x/dl"}) {
            UpdateService service(http(200, QByteArray("{\"versionCode\": 9, \"url\": \"") + url + "\"}"));
            WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
            dialog.checkUpdate(service.url(), false);
            QTRY_VERIFY(dialog.isVisible());
            QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btn_download"))->isVisible(), url[0] == 'H');
        }
    }
};

QTEST_MAIN(TestWhatsNewDlg)
#include "tst_whatsnewdlg.moc"
