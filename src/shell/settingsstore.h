#pragma once

#include <QSizeF>
#include <QString>

class QWidget;

// The per-user settings store: an INI file in the user's configuration folder,
// named after the application title. A section such as "History\chartNest" is
// the group "History/chartNest". Numbers are kept as the locale's text of a
// single-precision value and read back with the same locale.
namespace SettingsStore {

QString readText(const QString &section, const QString &key, const QString &defaultText);
// Throws RuntimeError 75 when the store cannot be written.
void writeText(const QString &section, const QString &key, const QString &value);

// The locale's text of a single-precision number, as the store keeps it.
QString singleToText(float value);
// Throws RuntimeError 13 (Type mismatch) for a text that is not a number.
float textToSingle(const QString &text);

// Where the store lives (for the README and tests).
QString fileName();

} // namespace SettingsStore

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
    // The stored value, or the default; throws 13 when the stored text is no number.
    float read(Edge edge, QSizeF frameClient = {}) const;
    // The stored value, or the default also when the stored text is no number.
    float readOrDefault(Edge edge, QSizeF frameClient = {}) const;
    void write(Edge edge, float value) const;
    // Writes the window's left, top, width and height in twips, in that order; a
    // key that cannot be written is skipped and the others are still written.
    void store(const QWidget &window) const;
};

// The three placements that the program keeps: main frame ("Settings"), data file
// window ("History\chartNest") and trend window ("History\HistPlot").
extern const PlacementSetting MainFramePlacement;
extern const PlacementSetting DataFilePlacement;
extern const PlacementSetting TrendPlacement;
