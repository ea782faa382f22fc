// Storing a window's placement needs the window; the rest of the settings store
// stays free of widgets (the fuzz targets build it alone).
#include "settingsstore.h"

#include "steps.h"

#include "controls/twips.h"

#include <QWidget>

#include <algorithm>

void PlacementSetting::store(const QWidget &window) const
{
    const QRectF g = twips::geometryOf(window);
    SettingsStore::ChangeSet changes; // the four in one write
    steps::ignoring({
        [&] { write(Edge::Left, float(g.x())); },
        [&] { write(Edge::Top, float(g.y())); },
        [&] { write(Edge::Width, float(g.width())); },
        [&] { write(Edge::Height, float(g.height())); },
    });
}

QRect fitWithin(const QRect &rect, const QRect &area)
{
    if (area.isEmpty())
        return rect; // nothing laid out yet to fit into
    const int width = std::min(rect.width(), area.width());
    const int height = std::min(rect.height(), area.height());
    const int left = std::clamp(rect.x(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(rect.y(), area.top(), area.top() + area.height() - height);
    return {left, top, width, height};
}
