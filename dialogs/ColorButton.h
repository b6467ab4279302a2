#pragma once

#include <QColor>
#include <QWidget>

/// A colour swatch that opens the colour picker on a left press and reports
/// the colour the user confirmed.
class ColorButton : public QWidget
{
    Q_OBJECT

public:
    explicit ColorButton(QWidget *parent = nullptr);

    QColor color() const { return color_; }
    /// Shows @p color at once; never emits colorSelected().
    void setColor(const QColor &color);

signals:
    /// The user confirmed @p color in the picker, even when it was already shown.
    void colorSelected(QColor color);
    void clicked();

public slots:
    void onClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_ = Qt::black;
};
