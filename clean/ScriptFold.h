#pragma once

#include <QString>

#include <vector>

/// The table behind ScriptConverter::fold(): union-find classes over every
/// value of OpenCC's character dictionaries (ST/TSCharacters, TW/HK
/// Variants and their reverses), one-BMP-unit pairs only, so that folding
/// never moves a position. Each class is represented by the member that
/// TSCharacters leaves alone and that is an STCharacters key (a simplified
/// form). Of the variants the notes compared, this one gave no mismatch
/// between a text and its s2t/s2tw/s2hk/t2s conversions.
class ScriptFold
{
public:
    /// Built on first use, from the default data directory.
    static const ScriptFold &instance();
    /// Builds from `dataDirectory`; without its dictionaries the table
    /// stays the identity and *error says why.
    explicit ScriptFold(const QString &dataDirectory, QString *error = nullptr);

    QChar fold(QChar c) const { return QChar(m_table[c.unicode()]); }
    bool isIdentity() const { return m_identity; }

private:
    std::vector<char16_t> m_table;
    bool m_identity = true;
};
