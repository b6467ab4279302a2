#pragma once

#include <QKeySequenceEdit>

/// A read-only field that shows one command's key and reports a left click,
/// so that the key is changed in a capture dialog instead.
class KeyLineLabel : public QKeySequenceEdit
{
    Q_OBJECT

public:
    explicit KeyLineLabel(QWidget *parent = nullptr);

    /// The shown sequence in portable text; empty when no key is shown.
    QString sequenceText() const;
    /// Clears the field, then shows @p text when it is not empty.
    void setSequenceText(const QString &text);

signals:
    /// A left mouse press on the field; @p field is this object.
    void clicked(void *field);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
