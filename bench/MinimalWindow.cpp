// The reference for the start-up benchmark: about the least a Qt Widgets
// program does to show a line of text in a frameless window, at the place
// and in the colour and font the reader uses there.
//   tavril-bench-minimal RED GREEN BLUE

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace {

class Line : public QWidget
{
public:
    explicit Line(const QColor &ink) : ink(ink) { setWindowFlags(Qt::FramelessWindowHint); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(ink);
        painter.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 14));
        painter.drawText(QPoint(2, 30), QStringLiteral("第一章 风起云涌，天色将晚，江上起了风。"));
    }

private:
    QColor ink;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    Line window(QColor(args.value(1).toInt(), args.value(2).toInt(), args.value(3).toInt()));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    window.setGeometry(area.width() / 3, area.height() / 3, area.width() / 3, area.height() / 3);
    window.show();
    return app.exec();
}
