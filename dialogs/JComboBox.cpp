#include "JComboBox.h"

#include <QMouseEvent>

JComboBox::JComboBox(QWidget *parent) : QComboBox(parent) {}

void JComboBox::mousePressEvent(QMouseEvent *event)
{
    // QComboBox's handler would pop the list up; the font field never lists anything.
    if (event->button() == Qt::LeftButton)
        emit clicked();
}
