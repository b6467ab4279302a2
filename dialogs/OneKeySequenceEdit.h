#pragma once

#include <QKeySequenceEdit>

/// A key sequence editor that records exactly one chord: each press replaces
/// the previous chord, and Backspace clears the editor.
class OneKeySequenceEdit : public QKeySequenceEdit
{
    Q_OBJECT

public:
    explicit OneKeySequenceEdit(QWidget *parent = nullptr);

    /// Clears the editor, then shows @p text (portable form) when it is not empty.
    void setSequenceText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    static QKeySequence parseChord(const QString &text);
};
