#pragma once

#include "controls/commondialog.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The common dialog's visible part for tests: records each request and answers
// from queues. An empty queue answers Cancel.
class ScriptedDialogs final : public CommonDialogBackend
{
public:
    std::optional<FileChoice> chooseFile(const FileDialogRequest &request, QWidget *parent) override;
    std::optional<OleColor> chooseColor(OleColor initial, bool allowCustom, QWidget *parent) override;
    std::optional<PrintDialogResult> choosePrinter(QPrinter &printer, bool allowSelection,
                                                   bool allowPageRange, QWidget *parent) override;
    // Paints the preview into the printer that configurePrinter sets up (a PDF
    // file, say), as a user would see it.
    void previewPrint(QPrinter &printer, const std::function<void(QPrinter &)> &paint, QWidget *parent) override;

    QList<std::optional<FileChoice>> files;
    QList<std::optional<OleColor>> colors;
    QList<std::optional<PrintDialogResult>> prints;
    // Sets up the printer the user "chose" (a PDF file, say).
    std::function<void(QPrinter &)> configurePrinter;

    QList<FileDialogRequest> fileRequests;
    QList<OleColor> colorRequests;
    struct PrintRequest
    {
        bool allowSelection;
        bool allowPageRange;
    };
    QList<PrintRequest> printRequests;
    int previews = 0;
};
