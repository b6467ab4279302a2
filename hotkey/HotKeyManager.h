#pragma once

#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

class QKeyEvent;
class QxtGlobalShortcut;

/// The table of reader commands and their key sequences: an in-app column
/// matched against key presses in the main window, and a global column bound
/// for the whole desktop. Both end in hotKeyPressed().
class HotKeyManager : public QObject
{
    Q_OBJECT

public:
    /// In-app action ids; the global id of an action is its id + GlobalIdOffset.
    /// 15 (quit) is a menu command only and has no key.
    enum HotKeyId {
        Open = 1,
        Close = 2,
        Content = 3,
        BookmarkList = 4,
        AddBookmark = 5,
        Find = 6,
        Back = 7,
        Next = 8,
        Hide = 9,
        Show = 10,
        CenterWin = 11,
        Menu = 12,
        Preference = 13,
        Help = 14,
        BackChapter = 16,
        NextChapter = 17,
    };
    Q_ENUM(HotKeyId)
    static constexpr int GlobalIdOffset = 100;

    /// Starts from the defaults, then applies what the settings file holds.
    explicit HotKeyManager(QObject *parent = nullptr);
    ~HotKeyManager() override;

    /// Emits hotKeyPressed() when the chord of @p event is the sequence of an action.
    void handleKeyPress(QKeyEvent *event);

    /// The sequence text of @p id; empty for an id without key or not in the table.
    QString hotKey(int id) const;

    /// Gives @p id the sequence @p text. False when another action already
    /// uses it or @p id is not an action; the empty text is never refused.
    bool setHotKey(int id, const QString &text, bool save);

    /// Puts every action back to its default; with @p save, writes all of them.
    void resetToDefaults(bool save);

    /// Applies the stored sequences over the defaults: a stored key wins over
    /// a default, and of two stored keys with one chord the lower id's.
    void loadFromSettings();

    /// While suspended no chord is held system-wide, so that a capture
    /// dialog receives the reader's own global chords as plain key presses.
    void setGlobalSuspended(bool suspend);
    bool isGlobalSuspended() const { return suspended; }

    /// The action whose sequence is @p text, -1 when none (and for the empty text).
    int findAction(const QString &text) const;

    /// Binds @p text system-wide for the global @p id and stores it in the
    /// table whatever the system answers; returns the system's answer.
    bool bindGlobal(int id, const QString &text);

    /// Writes @p text for @p id into the group "key" of the settings file.
    void saveHotKey(int id, const QString &text);

    /// The 32 action ids in the order in which defaults and stored keys are applied.
    static QList<int> actionIds();
    /// The built-in sequence of @p id, empty for an id not in the table.
    static QString defaultHotKey(int id);

signals:
    void hotKeyPressed(int id);

public slots:
    /// Connected to each global shortcut's activated(); @p shortcut is the one that fired.
    void onGlobalKeyPressed(void *shortcut);

private:
    static QMap<int, QString> defaultTable();
    void loadTable();
    /// Binds every global chord that is not bound as the table says, after
    /// releasing all of those first.
    void applyGlobalBindings();

    QMap<int, QString> hotKeys;
    bool suspended = false;
    QMap<int, QSharedPointer<QxtGlobalShortcut>> globalShortcuts;
};
