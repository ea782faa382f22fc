#pragma once

// A child window whose printout the main frame's File menu can preview or save as
// a PDF file; the frame asks the active child through this, without knowing it.
class PrintableWindow
{
public:
    virtual ~PrintableWindow() = default;
    // Shows the printout in a preview, laid out as it prints.
    virtual void printPreview() = 0;
    // Asks for a file name and writes the printout there as a PDF file.
    virtual void exportPdf() = 0;
};
