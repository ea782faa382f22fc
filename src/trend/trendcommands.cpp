// The trend window's toolbar commands: the data cursor, the JPEG image and the
// printout of the plot.

#include "trendwindow.h"

#include "controls/commondialog.h"
#include "controls/plotcontrol.h"
#include "controls/runtimeerror.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"

#include <QPointer>

using namespace Qt::StringLiterals;

void TrendWindow::toggleDataCursor()
{
    steps::ignore([&] {
        PlotDataCursor cursor = m_plot->DataCursor(0);
        cursor.setVisible(!cursor.Visible());
    });
}

// Asks for a file name in the shared file dialog and writes the plot there as a
// JPEG. A cancel ends quietly; any other failure gives one message, and the
// window stays as it was.
void TrendWindow::saveJpeg()
{
    const QPointer<TrendWindow> self(this);
    try {
        if (!shared().fileDialog)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        CommonDialog &dialog = *shared().fileDialog;
        dialog.cancelError = true;
        dialog.flags = CommonDialog::OverwritePrompt | CommonDialog::HideReadOnly;
        dialog.filter = u"Jpeg Files"_s + u"(*.jpg)|*.jpg"_s;
        dialog.dialogTitle = u"Save trend jpeg as?"_s;
        dialog.defaultExt = u".jpg"_s;
        dialog.fileName = windowTitle() + u".jpg"_s;
        dialog.showSave();
        const QString fileName = dialog.fileName;
        if (!self)
            return; // the program closed the window while the dialog was up
        m_plot->SaveJPEG(fileName, 100, true);
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        if (error.number() == RuntimeError::CancelSelected)
            return;
        steps::ignore([] {
            msgBox(u"Jpeg file can not be saved. Check filename or disk space"_s, MsgIcon::Critical, MsgButtons::Ok);
        });
    }
}

// The plot asks for the printer itself and prints the trend on one page. Without
// any printer installed there is nothing to choose from, so the user is told.
void TrendWindow::printTrend()
{
    if (ui().printerNames().isEmpty()) {
        msgBox(u"There is no default printer!\r\nPlease install or select a default printer."_s, MsgIcon::Critical,
               MsgButtons::Ok);
        return;
    }
    steps::ignore([&] { m_plot->PrintPlot(); });
}
