#pragma once

#include "OffsetMap.h"
#include "RunLimits.h"

#include <QByteArray>
#include <QString>

#include <memory>

class ScriptStages;

/// Simplified ↔ traditional Chinese through OpenCC's configs and
/// dictionaries, with an exact offset map.
///
/// OpenCC only loads; the matching runs here on the QString with OpenCC's
/// own rules (greedy longest-prefix segmentation, each chain stage greedy
/// inside a segment, a group takes its first member that matches, the first
/// value wins), so the output equals OpenCC's, about 40 times faster, and
/// the map is exact at every dictionary match. Inside a match whose length
/// changes, positions map to its start; U+0000 and lone surrogates pass
/// through unchanged (OpenCC would drop everything after a U+0000).
///
/// No dictionary key holds a line end, so converting stretches that start
/// and end at line ends gives exactly the matching part of the whole result.
///
/// A loaded converter is read-only: copies share the tables, and convert()
/// may run on several threads at once.
class ScriptConverter
{
public:
    enum Form {
        None,        ///< no conversion
        Simplified,  ///< t2s: leaves simplified text alone, unlike tw2s (抬→擡)
        Traditional, ///< s2t
        Taiwan,      ///< s2twp: Taiwan characters and vocabulary (软件→軟體)
        HongKong     ///< s2hk
    };

    /// The OpenCC config of a form ("t2s", …); empty for None.
    static QString configName(Form form);
    static QString defaultDataDirectory() { return QStringLiteral("/usr/share/opencc"); }

    /// Loads the config of `form` from the data directory (configs and
    /// dictionaries by absolute path only). False with a message when a file
    /// is missing or broken; the converter then converts nothing. A failed
    /// load is remembered and not tried again (OpenCC leaks a file handle on
    /// every failed load).
    bool load(Form form, QString *error);
    /// Starts loading the tables of `form` on a worker, so that a later
    /// load() finds them ready (the reader asks for its script at start).
    static void preload(Form form);
    bool load(Form form, const QString &dataDirectory, QString *error);
    /// A config given as JSON text, dictionaries from `dataDirectory`.
    bool loadConfig(const QByteArray &json, const QString &dataDirectory, QString *error);

    Form form() const { return m_form; }
    /// True when convert() changes anything: a form other than None loaded.
    bool isActive() const { return bool(m_stages); }

    /// The whole text converted (two threads on long texts); *map (if not
    /// null) maps `text` onto the result. Without an active form, or when
    /// memory runs out, `text` itself (shared, not copied) and an identity.
    QString convert(const QString &text, OffsetMap *map) const;
    /// text[from, to) converted into *out, *map (if not null) from that
    /// stretch (counted from 0) onto *out. False when cancelled or out of
    /// memory (with a message).
    bool convert(const QString &text, int from, int to, const RunLimits &limits, QString *out, OffsetMap *map,
                 QString *error) const;

    /// A search fold: every character of a class of simplified, traditional,
    /// Taiwan and Hong Kong forms of a character (from OpenCC's character
    /// dictionaries, BMP only) becomes one representative, so that folded
    /// text and a folded keyword match in either script at the same
    /// positions. Vocabulary (鼠标/滑鼠) is not folded. Built once, on
    /// first use; without the dictionaries it changes nothing.
    static QChar fold(QChar c);
    static QString folded(const QString &text);

private:
    bool prepare(const QString &name, const QString &dataDirectory, const QByteArray *json, QString *error);
    bool convertPart(const QString &text, int from, int to, const RunLimits &limits, QString *out, OffsetMap *map,
                     QString *error) const;

    std::shared_ptr<const ScriptStages> m_stages;
    Form m_form = None;
};
