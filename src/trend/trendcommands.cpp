// The trend window's toolbar commands: the data cursor, the image of the plot,
// and its printout on a printer, in a preview or as a PDF file.

#include "trendwindow.h"

#include "viewcsv.h"

#include "controls/commondialog.h"
#include "controls/outputfile.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"
#include "shell/errorreport.h"
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

void showSaveFailure(const QString &typeText)
{
    steps::ignore([typeText] {
        msgBox(typeText + u" file can not be saved. Check filename or disk space"_s, MsgIcon::Critical,
               MsgButtons::Ok);
    });
}

void showSaveFailure(outputfile::ImageType type)
{
    showSaveFailure(typeName(type));
}

// The samples in view as CSV, offered after the image types.
QString saveFilter()
{
    return outputfile::imageFilter() + u"|CSV Files(*.csv)|*.csv"_s;
}
const int CsvFilterIndex = int(outputfile::imageTypes().size()) + 1;

} // namespace

// Asks for a file name in the shared file dialog and writes the plot there as a
// JPEG, PNG, SVG or PDF image, or its samples in view as CSV: the typed extension
// decides, else the filter chosen. A cancel ends quietly; any other failure gives
// one message, and the window stays as it was.
void TrendWindow::saveJpeg()
{
    const QPointer<TrendWindow> self(this);
    outputfile::ImageType type = outputfile::ImageType::Jpeg;
    bool csv = false;
    try {
        if (!shared().fileDialog)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        CommonDialog &dialog = *shared().fileDialog;
        const QString fileName = dialog.askSaveAs(u"Save trend jpeg as?"_s, saveFilter(), u".jpg"_s,
                                                  windowTitle() + u".jpg"_s);
        type = outputfile::chosenImageType(fileName, dialog.filterIndex);
        csv = viewcsv::isCsvChoice(fileName, dialog.filterIndex, CsvFilterIndex);
        if (!self)
            return; // the program closed the window while the dialog was up
        if (csv)
            viewcsv::save(*m_plot, fileName);
        else
            m_plot->SaveImage(fileName, type);
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        if (error.number() != RuntimeError::CancelSelected && !showRefusedOutput(error))
            csv ? showSaveFailure(u"CSV"_s) : showSaveFailure(type);
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
    // Errors are skipped, but a file refused as the printer's output is named.
    try {
        m_plot->PrintPlot();
    } catch (...) {
        showRefusedOutput(RuntimeError::fromCurrentException());
    }
}

void TrendWindow::printPreview()
{
    try {
        m_plot->PreviewPlot();
    } catch (...) {
        showRefusedOutput(RuntimeError::fromCurrentException());
    }
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
        m_plot->ExportPDF(fileName);
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        if (error.number() != RuntimeError::CancelSelected && !showRefusedOutput(error))
            showSaveFailure(outputfile::ImageType::Pdf);
    }
}
