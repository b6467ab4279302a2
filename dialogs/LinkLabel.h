#pragma once

#include <QLabel>

/// An underlined blue label that opens its web address in the browser when
/// pressed. Only addresses beginning with "http" (any case) are opened.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    QString url() const { return url_; }
    void setUrl(const QString &url);

signals:
    /// Every press, whichever button and whether or not the address is opened.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString url_;
};
