#include "trendsettings.h"

#include "core/autoticks.h"
#include "controls/twips.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/steps.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

QStringList TrendSettings::xScaleFormats()
{
    return {
        u"hh:nn:ss"_s,
        u"hh:nn:ss.zzz"_s,
        u"m/d hh:nn:ss"_s,
        u"d mmm h:nn:ss am/pm"_s,
        u"m/d/yy h:nn:ss am/pm"_s,
        u"m/d/yyy h:nn:ss am/pm"_s,
    };
}

QStringList TrendSettings::xScaleFormatList()
{
    return xScaleFormats() << autoticks::automaticFormat();
}

QStringList TrendPen::assignments()
{
    return {u"Left axis"_s, u"Right axis"_s};
}

TrendWindowPlacement TrendWindowPlacement::read(QSizeF frameClient)
{
    TrendWindowPlacement p;
    p.left = TrendPlacement.read(Edge::Left, frameClient);
    p.top = TrendPlacement.read(Edge::Top, frameClient);
    p.width = TrendPlacement.read(Edge::Width, frameClient);
    p.height = TrendPlacement.read(Edge::Height, frameClient);
    return p;
}

TrendWindowPlacement TrendWindowPlacement::read()
{
    return read(mainFrame().clientTwips());
}

void TrendWindowPlacement::write() const
{
    TrendPlacement.write(Edge::Left, left);
    TrendPlacement.write(Edge::Top, top);
    TrendPlacement.write(Edge::Width, width);
    TrendPlacement.write(Edge::Height, height);
}

TrendWindowPlacement TrendWindowPlacement::readOrDefault(QSizeF frameClient)
{
    TrendWindowPlacement p;
    p.left = TrendPlacement.readOrDefault(Edge::Left, frameClient);
    p.top = TrendPlacement.readOrDefault(Edge::Top, frameClient);
    p.width = TrendPlacement.readOrDefault(Edge::Width, frameClient);
    p.height = TrendPlacement.readOrDefault(Edge::Height, frameClient);
    return p;
}

TrendWindowPlacement TrendWindowPlacement::of(const QWidget &window)
{
    const QRectF r = twips::geometryOf(window);
    return {float(r.left()), float(r.top()), float(r.width()), float(r.height())};
}

void TrendWindowPlacement::applyTo(QWidget &window) const
{
    twips::setLeft(window, left);
    twips::setTop(window, top);
    twips::setWidth(window, width);
    twips::setHeight(window, height);
}

void TrendWindowPlacement::store(const QWidget &window)
{
    TrendPlacement.store(window);
}

namespace {
const QString StatsWidthKey = u"StatsWidth"_s;
} // namespace

float TrendWindowPlacement::statsWidth()
{
    try {
        const float width = SettingsStore::textToSingle(SettingsStore::readText(TrendPlacement.section, StatsWidthKey, u"0"_s));
        // At most a wide screen's width: what the window then allows cuts it further.
        return std::isfinite(width) && width > 0 ? std::min(width, 1000000.0f) : 0;
    } catch (...) {
        return 0;
    }
}

void TrendWindowPlacement::storeStatsWidth(float twips)
{
    steps::ignoring({[&] { SettingsStore::writeText(TrendPlacement.section, StatsWidthKey, SettingsStore::singleToText(twips)); }});
}
