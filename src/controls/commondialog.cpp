#include "commondialog.h"

#include "outputfile.h"
#include "core/runtimeerror.h"
#include "core/writetarget.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStringList>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

// "*.png" -> "png"; empty for anything but one plain "*.ext" pattern.
QString singleExt(const QString &pattern)
{
    const QString p = pattern.trimmed();
    if (!p.startsWith(u"*."_s) || p.size() < 3 || p.contains(u' ') || p.contains(u';') || p.indexOf(u'*', 1) >= 0)
        return QString();
    return p.mid(2);
}

std::unique_ptr<CommonDialogBackend> &backendSlot()
{
    static std::unique_ptr<CommonDialogBackend> slot;
    return slot;
}

// The dialog over its owner's window: centred on it, or from its top left corner
// when the dialog is the wider or taller, and then moved onto the owner's screen.
// The position is the program's own, so that no window manager puts the dialog
// somewhere of its choosing (the screen's corner).
void placeOver(QDialog &dialog, const QWidget *owner)
{
    const QWidget *window = owner ? owner->window() : nullptr;
    if (!window || !window->isVisible())
        return; // Qt's own placement: the middle of the screen
    dialog.ensurePolished();
    if (!dialog.testAttribute(Qt::WA_Resized))
        dialog.adjustSize();
    // The dialog will get a border like its owner's.
    const QRect outer = window->frameGeometry();
    const QSize border = outer.size() - window->size();
    const QSize size = dialog.size() + border;
    QPoint at(outer.center().x() - size.width() / 2, outer.center().y() - size.height() / 2);
    at.setX(std::max(at.x(), outer.left()));
    at.setY(std::max(at.y(), outer.top()));
    if (const QScreen *screen = window->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.left() + area.width() - size.width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.top() + area.height() - size.height())));
    }
    dialog.move(at);
}

class QtDialogBackend final : public CommonDialogBackend
{
public:
    std::optional<FileChoice> chooseFile(const FileDialogRequest &r, QWidget *parent) override
    {
        QFileDialog dlg(parent, r.title, r.initialDir, r.nameFilter);
        const QStringList filters = dlg.nameFilters();
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        dlg.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(r.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        if (!r.defaultSuffix.isEmpty())
            dlg.setDefaultSuffix(r.defaultSuffix);
        if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
            dlg.selectNameFilter(filters.at(r.filterIndex - 1));
        // A name typed without extension takes the chosen type's, so that the
        // overwrite question asks about the file that will be written.
        if (r.save && filters.size() > 1) {
            QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString &filter) {
                const QString ext = patternExt(filter);
                if (!ext.isEmpty())
                    dlg.setDefaultSuffix(ext);
            });
        }
        if (!r.fileName.isEmpty())
            dlg.selectFile(r.fileName);
        placeOver(dlg, parent);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return std::nullopt;
        return FileChoice(dlg.selectedFiles().constFirst(), int(filters.indexOf(dlg.selectedNameFilter())) + 1);
    }

    std::optional<OleColor> chooseColor(OleColor initial, bool allowCustom, QWidget *parent) override
    {
        QColorDialog dlg(toQColor(initial), parent);
        dlg.setOption(QColorDialog::DontUseNativeDialog);
        Q_UNUSED(allowCustom) // Qt's dialog always shows its custom colours
        placeOver(dlg, parent);
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        return fromQColor(dlg.selectedColor());
    }

    std::optional<PrintDialogResult> choosePrinter(QPrinter &printer, bool allowSelection,
                                                   bool allowPageRange, QWidget *parent) override
    {
        QPrintDialog dlg(&printer, parent);
        dlg.setOption(QAbstractPrintDialog::PrintSelection, allowSelection);
        dlg.setOption(QAbstractPrintDialog::PrintPageRange, allowPageRange);
        placeOver(dlg, parent);
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        PrintDialogResult result;
        result.fromPage = printer.fromPage();
        result.toPage = printer.toPage();
        result.copies = printer.copyCount();
        result.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
        return result;
    }

    void previewPrint(QPrinter &printer, const std::function<void(QPrinter &)> &paint, QWidget *parent) override
    {
        QPrintPreviewDialog dlg(&printer, parent);
        // Nothing may escape into the dialog's event loop: the first failure
        // comes out once the preview has closed.
        std::exception_ptr failure;
        QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&paint, &failure](QPrinter *p) {
            try {
                paint(*p);
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        });
        placeOver(dlg, parent);
        dlg.exec();
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    // "PNG Files (*.png)" -> "png"; empty unless the filter has one plain "*.ext".
    static QString patternExt(const QString &qtFilter)
    {
        const qsizetype open = qtFilter.lastIndexOf(u'(');
        return singleExt(qtFilter.mid(open + 1).chopped(qtFilter.endsWith(u')') ? 1 : 0));
    }
};

} // namespace

std::unique_ptr<CommonDialogBackend> makeQtDialogBackend()
{
    return std::make_unique<QtDialogBackend>();
}

CommonDialog::CommonDialog() = default;
CommonDialog::~CommonDialog() = default;

CommonDialogBackend &CommonDialog::backend()
{
    auto &slot = backendSlot();
    if (!slot)
        slot = makeQtDialogBackend();
    return *slot;
}

void CommonDialog::installBackend(std::unique_ptr<CommonDialogBackend> backend)
{
    backendSlot() = std::move(backend);
}

QString CommonDialog::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString pattern = parts.at(i + 1).trimmed();
        const QString qtPatterns = QString(pattern).replace(u';', u' ');
        if (description.endsWith(u'(' + qtPatterns + u')') || description.endsWith(u'(' + pattern + u')'))
            result << description;
        else
            result << description + u" ("_s + qtPatterns + u')';
    }
    if (parts.size() % 2 == 1 && !parts.constLast().isEmpty())
        result << parts.constLast();
    return result.join(u";;"_s);
}

QString CommonDialog::filterExt(const QString &filter, int index)
{
    const QStringList parts = filter.split(u'|');
    const qsizetype at = 2 * qsizetype(index) - 1;
    if (index < 1 || at >= parts.size())
        return QString();
    return singleExt(parts.at(at));
}

QString CommonDialog::withDefaultExt(const QString &name, const QString &defaultExt)
{
    QString ext = defaultExt;
    if (ext.startsWith(u'.'))
        ext.remove(0, 1);
    if (name.isEmpty() || ext.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + u'.' + ext;
}

void CommonDialog::showOpen() { showFile(false); }
void CommonDialog::showSave() { showFile(true); }

QString CommonDialog::askSaveAs(const QString &title, const QString &filterText, const QString &extension,
                                const QString &suggestedName)
{
    cancelError = true;
    flags = OverwritePrompt | HideReadOnly;
    filter = filterText;
    filterIndex = 1;
    dialogTitle = title;
    defaultExt = extension;
    fileName = suggestedName;
    showSave();
    return fileName;
}

void CommonDialog::showFile(bool save)
{
    FileDialogRequest r;
    r.save = save;
    r.title = dialogTitle;
    r.nameFilter = toQtFilter(filter);
    r.initialDir = initDir;
    r.fileName = fileName;
    r.defaultSuffix = defaultExt.startsWith(u'.') ? defaultExt.mid(1) : defaultExt;
    r.mustExist = !save && (flags & FileMustExist);
    r.confirmOverwrite = save && (flags & OverwritePrompt);
    r.filterIndex = filterIndex;
    const std::optional<FileChoice> chosen = backend().chooseFile(r, m_parent);
    if (!chosen)
        return cancelled();
    if (chosen->filterIndex > 0)
        filterIndex = chosen->filterIndex;
    // A name saved without extension takes the chosen filter's, else the default.
    const QString chosenExt = save ? filterExt(filter, filterIndex) : QString();
    const QString name = chosen->fileName;
    // An existing file chosen to open is taken as it is; only a name that exists
    // with the default extension, or a name to save, gets it appended.
    const QString extended = withDefaultExt(name, chosenExt.isEmpty() ? defaultExt : chosenExt);
    fileName = save || (!QFileInfo::exists(name) && QFileInfo::exists(extended)) ? extended : name;
}

void CommonDialog::showPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint)
{
    previewPrintout(printer, paint, m_parent);
}

std::optional<PrintDialogResult> CommonDialog::askPrinter(QPrinter &printer, bool allowSelection, bool allowPageRange,
                                                          QWidget *parent)
{
    std::optional<PrintDialogResult> chosen = backend().choosePrinter(printer, allowSelection, allowPageRange, parent);
    if (chosen)
        writetarget::check(printer.outputFileName());
    return chosen;
}

void CommonDialog::previewPrintout(QPrinter &printer, const std::function<void(QPrinter &)> &paint, QWidget *parent)
{
    backend().previewPrint(printer, [&paint](QPrinter &p) { outputfile::printOn(p, paint); }, parent);
}

void CommonDialog::showColor()
{
    const std::optional<OleColor> chosen = backend().chooseColor(color, !(flags & PreventFullOpen), m_parent);
    if (!chosen)
        return cancelled();
    color = *chosen;
}

void CommonDialog::showPrinter()
{
    const std::optional<PrintDialogResult> chosen =
        askPrinter(printer(), !(flags & NoSelection), !(flags & NoPageNums), m_parent);
    if (!chosen)
        return cancelled();
    fromPage = chosen->fromPage;
    toPage = chosen->toPage;
    copies = chosen->copies;
    orientation = chosen->orientation;
}

QPrinter &CommonDialog::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void CommonDialog::cancelled()
{
    if (cancelError)
        throw RuntimeError(RuntimeError::CancelSelected);
}
