#pragma once

#include <QComboBox>

/// A combo box whose left press asks for a choice elsewhere (clicked())
/// instead of opening its list; the keyboard still works as usual.
class JComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit JComboBox(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
