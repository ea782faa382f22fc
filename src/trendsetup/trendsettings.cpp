#include "trendsettings.h"

#include "shell/mainframe.h"
#include "shell/settingsstore.h"

#include <algorithm>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

double SettingBounds::clamp(double value) const
{
    return std::clamp(value, min, max);
}

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
