#include "ColorButton.h"

#include "Prompter.h"
#include <QMouseEvent>
#include <QPainter>

ColorButton::ColorButton(QWidget *parent) : QWidget(parent)
{
    connect(this, &ColorButton::clicked, this, &ColorButton::onClicked);
}

void ColorButton::setColor(const QColor &color)
{
    color_ = color;
    repaint();
}

void ColorButton::onClicked()
{
    // Parented, so that it opens above a reading window kept on top.
    const QColor chosen = Prompter::current()->color(window(), color_);
    if (!chosen.isValid())
        return; // cancelled
    setColor(chosen);
    emit colorSelected(chosen);
}

void ColorButton::mousePressEvent(QMouseEvent *event)
{
    // The base handler is left out on purpose: a press never propagates to the form.
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void ColorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setBrush(QBrush(color_));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}
