#pragma once

#include "core/logshape.h"

#include <QRect>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QWidget;

// The per-user settings store: an INI file in the user's configuration folder,
// named after the application title. A section such as "History\chartNest" is
// the group "History/chartNest". Numbers are kept as the locale's text of a
// single-precision value and read back with the same locale.
//
// The file is read once for the run, and again only when another program has
// changed it. It is written whole (a new file that replaces the old one) once per
// change set, and not at all when the values written were those it held.
namespace SettingsStore {

QString readText(const QString &section, const QString &key, const QString &defaultText);
// Throws RuntimeError 75 when the store cannot be written; inside a change set
// the write waits for the set's end, and a failure there is not told.
void writeText(const QString &section, const QString &key, const QString &value);

// While one lives, writes reach the file together when the outermost set ends.
class ChangeSet
{
public:
    ChangeSet();
    ~ChangeSet();
    ChangeSet(const ChangeSet &) = delete;
    ChangeSet &operator=(const ChangeSet &) = delete;
};

// The locale's text of a single-precision number, as the store keeps it.
QString singleToText(float value);
// Throws RuntimeError 13 (Type mismatch) for a text that is not a number.
float textToSingle(const QString &text);

// Where the store lives (for the README and tests).
QString fileName();
// False when the store cannot be created or replaced (a read-only folder or file,
// something other than a file in its place).
bool isWritable();

} // namespace SettingsStore

// The sections of the file that the program writes, each named once here:
// "Settings" (the main frame's placement), "History" (the data file window's and
// the trend window's placements, under "History\chartNest" and "History\HistPlot"),
// "Recent", "OpenAs", "TrendSetup" and "TrendPens".
namespace SettingsSection {
extern const QString MainFrame;
extern const QString History;
extern const QString Recent;
extern const QString OpenAs;
extern const QString TrendSetup;
extern const QString TrendPens;
// All of them, in that order.
QStringList all();
} // namespace SettingsSection

// One window placement in the store: the keys "MainLeft", "MainTop", "MainWidth"
// and "MainHeight" of its section, in twips.
struct PlacementSetting
{
    enum class Edge { Left, Top, Width, Height };

    QString section;
    float defaultWidth;
    float defaultHeight;
    bool centredInFrame;   // default left/top centre the default size in the frame
    float fixedLeft = 0;   // defaults when not centred
    float fixedTop = 0;

    static QString key(Edge edge);

    // The default for one key; `frameClient` is the main frame's client area in
    // twips, used by the centred defaults (which may be fractional or negative).
    float defaultValue(Edge edge, QSizeF frameClient) const;
    // The stored value, or the default; throws 13 when the stored text is no finite
    // number. A value beyond any screen is cut to +-1,000,000 twips, so that it
    // converts to pixels safely; fitWithin() then brings the window on screen.
    float read(Edge edge, QSizeF frameClient = {}) const;
    // The stored value, or the default also when the stored text is no number.
    float readOrDefault(Edge edge, QSizeF frameClient = {}) const;
    void write(Edge edge, float value) const;
    // Writes the window's left, top, width and height in twips, in one change set;
    // a store that cannot be written keeps them as they were, without a word.
    void store(const QWidget &window) const;
};

// The three placements that the program keeps: main frame ("Settings"), data file
// window ("History\chartNest") and trend window ("History\HistPlot").
extern const PlacementSetting MainFramePlacement;
extern const PlacementSetting DataFilePlacement;
extern const PlacementSetting TrendPlacement;

// `rect` made to lie within `area`: no wider or taller than the area, then moved
// (not shrunk) so that no edge is outside it. Placements are fitted this way when
// they are applied, whatever the settings file holds.
QRect fitWithin(const QRect &rect, const QRect &area);

// The logs opened last, newest first, at most eight, kept in the section
// "Recent" under the keys "File1" to "File8".
namespace RecentLogs {

constexpr int MaxCount = 8;

QStringList list();
// Puts `path` at the front (once); throws RuntimeError 75 when it cannot be stored.
void add(const QString &path);
void remove(const QString &path);

} // namespace RecentLogs

// The shapes chosen for logs (File, Open As..., the command line), newest first, at
// most eight, kept in the section "OpenAs": "File1" to "File8" the paths and
// "Shape1" to "Shape8" the choices (Shape::toText). A pair whose shape does not
// read is passed over.
namespace OpenAsChoices {

constexpr int MaxCount = 8;

std::optional<logshape::Shape> find(const QString &path);
// Puts `path` with `shape` at the front (once); throws RuntimeError 75 when it
// cannot be stored.
void add(const QString &path, const logshape::Shape &shape);

} // namespace OpenAsChoices
