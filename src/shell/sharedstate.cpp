#include "sharedstate.h"

using namespace Qt::StringLiterals;

const QString &appTitle()
{
    static const QString title = u"Quandel KRN-740 Data Viewer"_s;
    return title;
}

SharedState &shared()
{
    static SharedState state;
    return state;
}

void resetShared()
{
    shared() = SharedState{};
}
