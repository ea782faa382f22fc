#pragma once

#include "core/olecolor.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;

// What the visible part of a file dialog is asked to show.
struct FileDialogRequest
{
    bool save = false;
    QString title;
    QString nameFilter;     // Qt form, converted from the "Description|*.ext" pairs
    QString initialDir;
    QString fileName;       // proposed name, possibly with a folder
    QString defaultSuffix;  // without the dot
    int filterIndex = 1;    // the filter shown first, from 1
    bool mustExist = false;
    bool confirmOverwrite = false;
};

// The file a file dialog's user chose, and the filter chosen with it (from 1;
// 0 when the dialog does not say).
struct FileChoice
{
    FileChoice(QString name, int filter = 0) : fileName(std::move(name)), filterIndex(filter) {}
    QString fileName;
    int filterIndex;
};

// The page range and copies read back from a print dialog.
struct PrintDialogResult
{
    int fromPage = 0;
    int toPage = 0;
    int copies = 1;
    int orientation = 1; // 1 portrait, 2 landscape
};

// The visible part of the common dialog: one real implementation over Qt's dialogs
// and a scripted one for tests. Each call returns nothing when the user cancelled.
class CommonDialogBackend
{
public:
    virtual ~CommonDialogBackend() = default;
    virtual std::optional<FileChoice> chooseFile(const FileDialogRequest &request, QWidget *parent) = 0;
    virtual std::optional<OleColor> chooseColor(OleColor initial, bool allowCustom, QWidget *parent) = 0;
    // Lets the user pick the printer and its options; the chosen printer is left
    // configured in `printer`.
    virtual std::optional<PrintDialogResult> choosePrinter(QPrinter &printer, bool allowSelection,
                                                           bool allowPageRange, QWidget *parent) = 0;
    // Shows the pages that `paint` draws on `printer` in a preview window, from
    // which the user may also print them; returns when the preview has closed,
    // throwing what `paint` threw.
    virtual void previewPrint(QPrinter &printer, const std::function<void(QPrinter &)> &paint,
                              QWidget *parent) = 0;
};

// The program's one common dialog (the main frame's `cmdFile`, shared as
// `fileDialog`). Its properties keep what the previous use left in them, exactly as
// the callers expect: the open dialog proposes the last file name, a save after a
// load keeps the default extension, and so on. With `cancelError` set, a Cancel
// throws RuntimeError 32755; without it, a Cancel leaves the properties unchanged.
class CommonDialog
{
public:
    // Flags of the classic dialogs that the program passes.
    enum Flags : int {
        OverwritePrompt = 0x2,   // save: ask before replacing a file
        HideReadOnly = 0x4,      // open/save: no read-only box
        FileMustExist = 0x1000,  // open: only existing files
        RgbInit = 0x1,           // colour: start from `color`
        PreventFullOpen = 0x4,   // colour: no custom-colour part
        NoSelection = 0x4,       // print: selection choice disabled
        NoPageNums = 0x8,        // print: page-range fields disabled
    };

    CommonDialog();
    ~CommonDialog();
    CommonDialog(const CommonDialog &) = delete;
    CommonDialog &operator=(const CommonDialog &) = delete;

    bool cancelError = false;
    int flags = 0;
    QString filter;      // "Description|pattern|Description|pattern..."
    QString dialogTitle;
    QString initDir;
    QString fileName;
    QString defaultExt;  // with or without the leading dot
    int filterIndex = 1; // the filter shown first; after a choice, the one chosen
    OleColor color = 0;
    int fromPage = 0;
    int toPage = 0;
    int copies = 1;
    int orientation = 1;

    void showOpen();
    void showSave();
    // A save dialog for an output file: cancel raises 32755, an existing file is
    // confirmed first, the first filter is shown. Returns the chosen name.
    QString askSaveAs(const QString &title, const QString &filterText, const QString &extension,
                      const QString &suggestedName);
    void showColor();
    void showPrinter();

    // The printer chosen by the last showPrinter(); print jobs go to it.
    QPrinter &printer();

    void setParentWidget(QWidget *parent) { m_parent = parent; }

    // The backend every common dialog uses; tests install a scripted one.
    static CommonDialogBackend &backend();
    static void installBackend(std::unique_ptr<CommonDialogBackend> backend);
    // The preview of a printout, through previewPrintout().
    void showPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint);

    // The print dialog, through the backend. A file chosen as the printer's
    // output is checked there as every output file is: writetarget::check()
    // throws its refusal (the log being viewed, not a regular file).
    static std::optional<PrintDialogResult> askPrinter(QPrinter &printer, bool allowSelection, bool allowPageRange,
                                                       QWidget *parent);
    // The preview, through the backend; pages printed from it into a file go
    // through outputfile::printOn(), and what that throws comes out of here.
    static void previewPrintout(QPrinter &printer, const std::function<void(QPrinter &)> &paint, QWidget *parent);

    // "Log Files(*.csv)|*.csv" -> "Log Files(*.csv)"; a description without its
    // pattern in brackets gets " (pattern)" appended.
    static QString toQtFilter(const QString &filter);
    // The extension of the filter's `index`th entry (from 1) when its pattern is a
    // single "*.ext", else empty.
    static QString filterExt(const QString &filter, int index);
    // The name with the default extension appended when it has none.
    static QString withDefaultExt(const QString &name, const QString &defaultExt);

private:
    void showFile(bool save);
    void cancelled();

    QWidget *m_parent = nullptr;
    std::unique_ptr<QPrinter> m_printer;
};

// The ready-made backend over QFileDialog (Qt's own, so that it can be driven in
// tests), QColorDialog and QPrintDialog.
std::unique_ptr<CommonDialogBackend> makeQtDialogBackend();
