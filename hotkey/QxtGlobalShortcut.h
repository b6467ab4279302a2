#pragma once

#include <QKeySequence>
#include <QObject>

/// A key chord bound for the whole desktop: it fires while another program
/// has the focus. Our own class under the name the reader has always used.
class QxtGlobalShortcut : public QObject
{
    Q_OBJECT

public:
    explicit QxtGlobalShortcut(QObject *parent = nullptr);
    /// Releases the system-wide binding.
    ~QxtGlobalShortcut() override;

    /// Releases the current binding, then binds the one chord of @p shortcut.
    /// False when the system (or another client, or another of our own
    /// shortcuts) refuses it, for an empty or multi-chord sequence and where
    /// the platform has no global keys; a refusal is reported through qWarning.
    bool setShortcut(const QKeySequence &shortcut);
    /// The last sequence given, bound or not.
    QKeySequence shortcut() const;
    /// Whether the system currently holds the binding for this object.
    bool isRegistered() const;

    void setTag(int tag);
    int getTag() const;

signals:
    /// The chord was pressed; @p shortcut is this object.
    void activated(void *shortcut);

private:
    void releaseBinding();

    QKeySequence sequence;
    bool registered = false;
    int tag = 0;
};
