#include "scripteddialogs.h"

std::optional<FileChoice> ScriptedDialogs::chooseFile(const FileDialogRequest &request, QWidget *)
{
    fileRequests.append(request);
    return files.isEmpty() ? std::nullopt : files.takeFirst();
}

std::optional<OleColor> ScriptedDialogs::chooseColor(OleColor initial, bool, QWidget *)
{
    colorRequests.append(initial);
    return colors.isEmpty() ? std::nullopt : colors.takeFirst();
}

std::optional<PrintDialogResult> ScriptedDialogs::choosePrinter(QPrinter &printer, bool allowSelection,
                                                                bool allowPageRange, QWidget *)
{
    printRequests.append({allowSelection, allowPageRange});
    if (prints.isEmpty())
        return std::nullopt;
    if (configurePrinter)
        configurePrinter(printer);
    return prints.takeFirst();
}

void ScriptedDialogs::previewPrint(QPrinter &printer, const std::function<void(QPrinter &)> &paint, QWidget *)
{
    ++previews;
    if (configurePrinter)
        configurePrinter(printer);
    paint(printer);
}
