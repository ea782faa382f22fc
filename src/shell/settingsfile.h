#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The text of an INI settings file, read once for the run. Its sections are found
// when the text is read; a section's keys are read the first time one of them is
// asked for, so a huge section that no one asks for costs one pass over its lines.
// A section that was changed is written anew, every other byte as it was read.
//
// The dialect is the one Qt's INI format writes for text values: "[section]",
// "key=value" lines ending in LF or CR LF, ';' comments, '/' in a key written as
// '\', other characters of a key as %XX or %UXXXX, values escaped with '\' and
// quoted where they hold ',', ';', '=' or blanks at either end, UTF-8.
class SettingsFile
{
public:
    SettingsFile() = default;
    explicit SettingsFile(QByteArray text);

    // `key` may hold '/'; the section "General" is the keys before any section.
    std::optional<QString> value(const QString &section, const QString &key);
    // False when the key held that value already: nothing changed.
    bool setValue(const QString &section, const QString &key, const QString &value);
    // Takes every key of the section away.
    void removeSection(const QString &section);

    bool isChanged() const;
    // The file as it is to be written.
    QByteArray text() const;
    // `written` (what text() gave) is now the file: nothing is changed any more,
    // and the sections read so far stay read.
    void settle(QByteArray written);

    static QByteArray escapedKey(const QString &key);
    static QString unescapedKey(QByteArrayView text);
    static QByteArray escapedValue(const QString &value);
    static QString unescapedValue(QByteArrayView text);

private:
    // One "[name]" line and the lines after it up to the next; the first part has
    // no header line (headerFrom == bodyFrom).
    struct Part
    {
        qsizetype section;
        qsizetype headerFrom;
        qsizetype bodyFrom;
        qsizetype to;
    };
    // Where a key's line is in the text: the line, and its value after the '='.
    struct KeyLine
    {
        qsizetype from;
        qsizetype valueFrom;
        qsizetype to;
    };
    struct Section
    {
        QString name;
        QList<qsizetype> parts;
        bool indexed = false;
        // Keys as written (escaped), each to its last line; a key written another
        // way than this class would write it is found under the way it would.
        QHash<QByteArrayView, KeyLine> lines;
        bool cleared = false; // every key of the text taken away
        QHash<QByteArray, QString> changed;
        QList<QByteArray> added; // keys the text does not hold, in the order set
    };

    void index();
    qsizetype sectionIndex(const QString &name);
    Section &indexed(const QString &name);
    bool isChanged(const Section &s) const;
    void writeSection(QByteArray &out, const Section &s) const;

    QByteArray m_text;
    QList<Part> m_parts; // in file order
    QList<Section> m_sections; // in the order they first appear, new ones last
    QHash<QString, qsizetype> m_byName;
    QList<QByteArray> m_rewrittenKeys; // what keys written otherwise are found under
};
