// The trend window's toolbar commands: the data cursor, the image of the plot,
// and its printout on a printer, in a preview or as a PDF file.

#include "trendwindow.h"

#include "controls/commondialog.h"
#include "controls/outputfile.h"
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

namespace {

QString noPrinterText()
{
    return u"There is no default printer!\r\nPlease install or select a default printer.\r\n"_s
           u"Use File, Export PDF to save the printout as a PDF file."_s;
}

QString typeName(outputfile::ImageType type)
{
    switch (type) {
    case outputfile::ImageType::Png:
        return u"PNG"_s;
    case outputfile::ImageType::Svg:
        return u"SVG"_s;
    case outputfile::ImageType::Pdf:
        return u"PDF"_s;
    case outputfile::ImageType::Jpeg:
        break;
    }
    return u"Jpeg"_s;
}

void showSaveFailure(outputfile::ImageType type)
{
    steps::ignore([type] {
        msgBox(typeName(type) + u" file can not be saved. Check filename or disk space"_s, MsgIcon::Critical,
               MsgButtons::Ok);
    });
}

} // namespace

// Asks for a file name in the shared file dialog and writes the plot there as a
// JPEG, PNG, SVG or PDF image: the typed extension decides, else the filter
// chosen. A cancel ends quietly; any other failure gives one message, and the
// window stays as it was.
void TrendWindow::saveJpeg()
{
    const QPointer<TrendWindow> self(this);
    outputfile::ImageType type = outputfile::ImageType::Jpeg;
    try {
        if (!shared().fileDialog)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        CommonDialog &dialog = *shared().fileDialog;
        const QString fileName = dialog.askSaveAs(u"Save trend jpeg as?"_s, outputfile::imageFilter(), u".jpg"_s,
                                                  windowTitle() + u".jpg"_s);
        type = outputfile::chosenImageType(fileName, dialog.filterIndex);
        if (!self)
            return; // the program closed the window while the dialog was up
        outputfile::refuseOverwriting(fileName, shared().currentFileName);
        m_plot->SaveImage(fileName, type);
    } catch (...) {
        if (RuntimeError::fromCurrentException().number() != RuntimeError::CancelSelected)
            showSaveFailure(type);
    }
}

// The plot asks for the printer itself and prints the trend on one page. Without
// any printer installed there is nothing to choose from, so the user is told.
void TrendWindow::printTrend()
{
    if (ui().printerNames().isEmpty()) {
        msgBox(noPrinterText(), MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    steps::ignore([&] { m_plot->PrintPlot(); });
}

void TrendWindow::printPreview()
{
    steps::guarded([&] { m_plot->PreviewPlot(); });
}

// The printed page as a PDF file, for a machine without a printer.
void TrendWindow::exportPdf()
{
    const QPointer<TrendWindow> self(this);
    try {
        if (!shared().fileDialog)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        CommonDialog &dialog = *shared().fileDialog;
        const QString fileName = dialog.askSaveAs(u"Export trend printout as PDF"_s, outputfile::pdfFilter(),
                                                  u".pdf"_s, windowTitle() + u".pdf"_s);
        if (!self)
            return;
        outputfile::refuseOverwriting(fileName, shared().currentFileName);
        m_plot->ExportPDF(fileName);
    } catch (...) {
        if (RuntimeError::fromCurrentException().number() != RuntimeError::CancelSelected)
            showSaveFailure(outputfile::ImageType::Pdf);
    }
}
