#include "trendsettings.h"

#include "core/autoticks.h"
#include "controls/twips.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"

#include <algorithm>

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
