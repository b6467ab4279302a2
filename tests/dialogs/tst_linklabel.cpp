#include "LinkLabel.h"
#include "PreferenceTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

class TestLinkLabel : public QObject
{
    Q_OBJECT

private slots:
    void looksLikeALink()
    {
        LinkLabel label;
        QCOMPARE(label.styleSheet(), QStringLiteral("text-decoration:underline;color: rgb(21, 107, 255);"));
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(label.url().isEmpty());
    }

    void opensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("opens");
        QTest::newRow("http") << "http://tavril.example.org" << int(Qt::LeftButton) << true;
        QTest::newRow("https, right button") << "https://tavril.example.org/?id=596" << int(Qt::RightButton) << true;
        QTest::newRow("capitals") << "HTTP://Tavril.Example.org/" << int(Qt::MiddleButton) << true;
        QTest::newRow("empty") << "" << int(Qt::LeftButton) << false;
        QTest::newRow("mail") << "mailto:someone@example.org" << int(Qt::LeftButton) << false;
        QTest::newRow("ftp") << "ftp://example.org/book.txt" << int(Qt::LeftButton) << false;
        QTest::newRow("file") << "file:///etc/passwd" << int(Qt::LeftButton) << false;
        QTest::newRow("leading space") << " http://example.org" << int(Qt::LeftButton) << false;
        QTest::newRow("garbage") << "::/\\%%" << int(Qt::LeftButton) << false;
    }

    void opensOnlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(int, button);
        QFETCH(bool, opens);
        UrlCatcher browser;
        LinkLabel label;
        label.setText("tavril.example.org");
        label.setUrl(address);
        label.show();
        QSignalSpy clicked(&label, &LinkLabel::clicked);
        QTest::mouseClick(&label, Qt::MouseButton(button));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(browser.opened.size(), opens ? 1 : 0);
        if (opens)
            QCOMPARE(browser.opened.at(0), QUrl(address, QUrl::TolerantMode));
    }
};

QTEST_MAIN(TestLinkLabel)
#include "tst_linklabel.moc"
