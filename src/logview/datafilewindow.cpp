#include "datafilewindow.h"

#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include "controls/twips.h"

#include <QCloseEvent>

using namespace Qt::StringLiterals;

namespace {
WindowSlot<DataFileWindow> &slot()
{
    static WindowSlot<DataFileWindow> s;
    return s;
}
} // namespace

DataFileWindow &frmHistory() { return slot().touch(); }
DataFileWindow *loadedHistory() { return slot().loaded(); }

DataFileWindow::DataFileWindow()
{
    setObjectName(u"frmHistory"_s);
    setWindowTitle(u"Data File Viewer"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    mainFrame().adopt(this);
    // Design size; start-up then applies the stored placement.
    resize(twips::toPixelsX(6765), twips::toPixelsY(5295));
}

DataFileWindow::~DataFileWindow() = default;

bool DataFileWindow::checkHistFile(const QString &fileName)
{
    if (!fileName.isEmpty())
        return true;
    msgBox(u"Data file has not been opened!"_s + u"\r\n"_s + u"Use the open file icon to load a data file."_s,
           MsgIcon::Question, MsgButtons::Ok);
    return false;
}

void DataFileWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    steps::guarded([&] {
        if (shared().plotting) {
            msgBox(u"History viewer is busy with an operation, please wait!"_s, MsgIcon::Information);
            return;
        }
        if (!shared().exitConfirmed) {
            msgBox(u"To quit the KRN-740 history viewer, use the File/Exit menu item."_s, MsgIcon::Information);
            return;
        }
        if (isMinimized())
            return;
        shared().currentFileName.clear();
        savePlacement();
        event->accept();
    });
}

void DataFileWindow::savePlacement()
{
    using Edge = PlacementSetting::Edge;
    const QRectF g = twips::geometryOf(*this);
    steps::ignoring({
        [&] { DataFilePlacement.write(Edge::Left, float(g.x())); },
        [&] { DataFilePlacement.write(Edge::Top, float(g.y())); },
        [&] { DataFilePlacement.write(Edge::Width, float(g.width())); },
        [&] { DataFilePlacement.write(Edge::Height, float(g.height())); },
    });
}
