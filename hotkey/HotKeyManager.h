#pragma once

#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

class PortalShortcuts;
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
        AutoTurn = 18,
        Jump = 19, // in the window only: it asks for a place
        // Commands without a key: from the menu, or from outside (tavril --command).
        Quit = 15,
        Toggle = 20,
    };
    Q_ENUM(HotKeyId)
    static constexpr int GlobalIdOffset = 100;

    enum Binding { BindNow, BindLater };
    /// Starts from the defaults, then applies what the settings file holds.
    /// The global keys are bound at once, or with BindLater once the event
    /// loop runs (the reader's window need not wait for the window system).
    explicit HotKeyManager(QObject *parent = nullptr, Binding binding = BindNow);
    ~HotKeyManager() override;

    /// The action whose sequence is the chord of @p event, -1 for none.
    int actionFor(const QKeyEvent *event) const;
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

    /// The name of a command for `tavril --command` and the desktop
    /// ("next-page"), for an in-app or global id; empty for none.
    static QString commandName(int id);
    /// The command's name as the user reads it ("下一页").
    static QString commandLabel(int id);
    /// The in-app id of the command called @p name, -1 for none.
    static int commandId(const QString &name);
    /// Every command name, in the order `tavril --help` lists them.
    static QStringList commandNames();

    /// Global keys go through the desktop's portal: the desktop decides the
    /// chords, and the table's global column holds only the reader's wishes.
    /// Takes @p portal over (tests hand in one on a private bus).
    void setPortal(PortalShortcuts *portal);
    /// The desktop's portal, or null where the reader grabs keys itself.
    PortalShortcuts *desktopPortal() const { return portal; }
    /// The chord the desktop bound for the global @p id, as it describes it.
    QString desktopTrigger(int id) const;

    /// The action ids (every in-app one, then every global one) in the order
    /// in which defaults and stored keys are applied.
    static QList<int> actionIds();
    /// The built-in sequence of @p id, empty for an id not in the table.
    static QString defaultHotKey(int id);

signals:
    void hotKeyPressed(int id);
    /// The desktop's answer about the global keys changed.
    void globalKeysChanged();

public slots:
    /// Connected to each global shortcut's activated(); @p shortcut is the one that fired.
    void onGlobalKeyPressed(void *shortcut);

private:
    void bindFirstTime();
    static QMap<int, QString> defaultTable();
    void loadTable();
    /// Binds every global chord that is not bound as the table says, after
    /// releasing all of those first.
    void applyGlobalBindings();
    void offerToDesktop();

    QMap<int, QString> hotKeys;
    bool suspended = false;
    PortalShortcuts *portal = nullptr; // owned (child)
    QStringList offered;               // the wishes last offered to the desktop
    QMap<int, QSharedPointer<QxtGlobalShortcut>> globalShortcuts;
};
