// Storing a window's placement needs the window; the rest of the settings store
// stays free of widgets (the fuzz targets build it alone).
#include "settingsstore.h"

#include "steps.h"

#include "controls/twips.h"

#include <QWidget>

void PlacementSetting::store(const QWidget &window) const
{
    const QRectF g = twips::geometryOf(window);
    steps::ignoring({
        [&] { write(Edge::Left, float(g.x())); },
        [&] { write(Edge::Top, float(g.y())); },
        [&] { write(Edge::Width, float(g.width())); },
        [&] { write(Edge::Height, float(g.height())); },
    });
}
