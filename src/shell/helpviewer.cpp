#include "helpviewer.h"

#include "uiservices.h"
#include "windowregistry.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
QPointer<HelpViewer> g_viewer;

// Searches one help file, adding up how many characters its searches pass over.
// Every search of the scans below resumes where the one before it stopped, so a
// file is passed over a few times at most, whatever tags it leaves open.
class HelpScan
{
public:
    HelpScan(QStringView text, qsizetype *scanned)
        : m_text(text)
        , m_scanned(scanned)
    {
    }

    qsizetype size() const { return m_text.size(); }
    QChar at(qsizetype i) const { return m_text.at(i); }
    QStringView text() const { return m_text; }

    // Where `what` starts at or after `from` (letters in either case), else -1.
    qsizetype find(QStringView what, qsizetype from)
    {
        const qsizetype found = m_text.indexOf(what, from, Qt::CaseInsensitive);
        passed((found < 0 ? m_text.size() : found + what.size()) - from);
        return found;
    }

    bool startsWith(qsizetype at, QStringView what)
    {
        passed(std::min(what.size(), m_text.size() - at));
        return m_text.sliced(at).startsWith(what, Qt::CaseInsensitive);
    }

    qsizetype skipSpaces(qsizetype from, qsizetype to)
    {
        qsizetype i = from;
        while (i < to && m_text.at(i).isSpace())
            ++i;
        passed(i - from);
        return i;
    }

    void passed(qsizetype count)
    {
        if (m_scanned && count > 0)
            *m_scanned += count;
    }

private:
    QStringView m_text;
    qsizetype *m_scanned;
};

// The next `what` at or after `from`, remembered in `cache` for the searches
// after it: -2 before the first search, -1 when there is none any more.
qsizetype nextAfter(HelpScan &scan, QStringView what, qsizetype from, qsizetype &cache)
{
    if (cache != -1 && cache < from)
        cache = scan.find(what, from);
    return cache;
}

// A heading's text without its tags and with the three entities the help writes.
QString plainText(HelpScan &scan, qsizetype from, qsizetype to)
{
    QString text;
    qsizetype i = from;
    while (i < to) {
        const qsizetype tag = scan.text().sliced(i, to - i).indexOf(u'<');
        scan.passed((tag < 0 ? to - i : tag + 1));
        if (tag < 0) {
            text += scan.text().sliced(i, to - i);
            break;
        }
        text += scan.text().sliced(i, tag);
        const qsizetype close = scan.text().sliced(i + tag, to - i - tag).indexOf(u'>');
        scan.passed(close < 0 ? to - i - tag : close + 1);
        if (close < 0) {
            text += scan.text().sliced(i + tag, to - i - tag); // an unclosed '<' stays text
            break;
        }
        i += tag + close + 1;
    }
    return text.replace(u"&amp;"_s, u"&"_s).replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).simplified();
}

// An anchor `<a name="..."></a>` that opens a heading's text: its name, and where
// the text after it starts; nothing when the text opens otherwise.
std::optional<std::pair<QString, qsizetype>> leadingAnchor(HelpScan &scan, qsizetype from, qsizetype to)
{
    qsizetype i = scan.skipSpaces(from, to);
    if (i + 2 >= to || !scan.startsWith(i, u"<a") || !scan.at(i + 2).isSpace())
        return std::nullopt;
    i = scan.skipSpaces(i + 2, to);
    if (i + 6 > to || !scan.startsWith(i, u"name=\""))
        return std::nullopt;
    const qsizetype nameFrom = i + 6;
    const qsizetype quote = scan.text().sliced(nameFrom, to - nameFrom).indexOf(u'"');
    scan.passed(quote < 0 ? to - nameFrom : quote + 1);
    if (quote < 0)
        return std::nullopt;
    i = scan.skipSpaces(nameFrom + quote + 1, to);
    if (i >= to || scan.at(i) != u'>')
        return std::nullopt;
    i = scan.skipSpaces(i + 1, to);
    if (i + 4 > to || !scan.startsWith(i, u"</a>"))
        return std::nullopt;
    return std::pair{scan.text().sliced(nameFrom, quote).toString(), i + 4};
}

// Qt's rich-text import takes time that grows with the square of how deeply the
// file's elements nest, and a file that leaves its tags open nests ever deeper.
// A help file nests a few levels; one nesting far deeper is shown as plain text.
bool nestsTooDeeply(QStringView html)
{
    constexpr int DeepestShown = 200;
    // Elements that hold nothing, or whose end the file may leave out.
    static const QStringList unnested = {u"area"_s, u"base"_s, u"br"_s, u"col"_s, u"dd"_s, u"dt"_s, u"embed"_s,
                                         u"hr"_s, u"img"_s, u"input"_s, u"li"_s, u"link"_s, u"meta"_s,
                                         u"option"_s, u"p"_s, u"param"_s, u"source"_s, u"td"_s, u"th"_s, u"tr"_s,
                                         u"track"_s, u"wbr"_s};
    int depth = 0;
    qsizetype tagEnd = -2;
    for (qsizetype at = html.indexOf(u'<'); at >= 0 && at + 1 < html.size(); at = html.indexOf(u'<', at + 1)) {
        if (html.at(at + 1) == u'/') {
            depth = std::max(0, depth - 1);
            continue;
        }
        qsizetype nameEnd = at + 1;
        while (nameEnd < html.size() && html.at(nameEnd).isLetterOrNumber())
            ++nameEnd;
        if (nameEnd == at + 1 || unnested.contains(html.sliced(at + 1, nameEnd - at - 1), Qt::CaseInsensitive))
            continue;
        if (tagEnd != -1 && tagEnd < nameEnd)
            tagEnd = html.indexOf(u'>', nameEnd);
        if (tagEnd > 0 && html.at(tagEnd - 1) == u'/')
            continue; // <x/> holds nothing
        if (++depth > DeepestShown)
            return true;
    }
    return false;
}
} // namespace

HelpViewer *HelpViewer::current() { return g_viewer.data(); }

QList<HelpViewer::Heading> HelpViewer::headingsOf(const QString &html, qsizetype *scanned)
{
    HelpScan scan(html, scanned);
    QList<Heading> result;
    qsizetype tagEnd = -2;
    qsizetype closing[4] = {-1, -2, -2, -2};
    const QString closers[4] = {{}, u"</h1>"_s, u"</h2>"_s, u"</h3>"_s};
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = scan.find(u"<h", pos);
        if (open < 0 || open + 3 > scan.size())
            break;
        pos = open + 2;
        const int level = scan.at(open + 2).digitValue();
        if (level < 1 || level > 3 || (open + 3 < scan.size() && scan.at(open + 3) != u'>' && !scan.at(open + 3).isSpace()))
            continue;
        const qsizetype end = nextAfter(scan, u">", open + 3, tagEnd);
        if (end < 0)
            break; // no tag ends any more, so no heading starts
        const qsizetype close = nextAfter(scan, closers[level], end + 1, closing[level]);
        if (close < 0)
            continue; // never closed: no heading, nor any later one of its level
        QString anchor;
        qsizetype textFrom = end + 1;
        if (const auto a = leadingAnchor(scan, textFrom, close)) {
            anchor = a->first;
            textFrom = a->second;
        }
        result.append({level, anchor, plainText(scan, textFrom, close)});
        pos = close + closers[level].size();
    }
    return result;
}

QList<HelpViewer::Keyword> HelpViewer::keywordsOf(const QString &html, qsizetype *scanned)
{
    HelpScan scan(html, scanned);
    QList<Keyword> result;
    qsizetype quote = -2;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = scan.find(u"<a", pos);
        if (open < 0)
            break;
        pos = open + 2;
        const qsizetype name = scan.skipSpaces(open + 2, scan.size());
        if (name == open + 2 || name + 9 > scan.size() || !scan.startsWith(name, u"name=\"kw:"))
            continue;
        const qsizetype end = nextAfter(scan, u"\"", name + 9, quote);
        if (end < 0)
            break; // no quote closes any more
        if (end == name + 9)
            continue;
        const QString text = html.sliced(name + 9, end - name - 9);
        result.append({text, u"kw:"_s + text});
        pos = end + 1;
    }
    std::sort(result.begin(), result.end(), [](const Keyword &a, const Keyword &b) {
        return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
    });
    return result;
}

void HelpViewer::winHelp(QWidget *owner, const QString &path, int command)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo::exists(path) ? file.errorString() : u"The file does not exist."_s;
        msgBox(u"Unable to open the help file"_s + u"\r\n"_s + path + u"\r\n"_s + reason, MsgIcon::Exclamation);
        return;
    }
    const QString html = QString::fromUtf8(file.readAll());
    if (!g_viewer || g_viewer->filePath() != path) {
        delete g_viewer.data();
        g_viewer = new HelpViewer(path, html);
        WindowRegistry::track(g_viewer);
    }
    Q_UNUSED(owner) // a window of its own, like the classic engine's
    if (command == HelpPartialKey)
        g_viewer->showIndex(QString());
    else
        g_viewer->showContents();
    g_viewer->show();
    g_viewer->raise();
    g_viewer->activateWindow();
}

HelpViewer::HelpViewer(const QString &path, const QString &html)
    : m_path(path)
    , m_keywords(keywordsOf(html))
{
    setObjectName(u"helpViewer"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"KRN-740 Data Viewer Help"_s);
    resize(820, 600);

    m_tabs = new QTabWidget;
    m_contents = new QTreeWidget;
    m_contents->setHeaderHidden(true);
    QTreeWidgetItem *parents[4] = {};
    for (const Heading &h : headingsOf(html)) {
        QTreeWidgetItem *item = nullptr;
        QTreeWidgetItem *up = nullptr;
        for (int level = h.level - 1; level >= 1 && !up; --level)
            up = parents[level];
        item = up ? new QTreeWidgetItem(up) : new QTreeWidgetItem(m_contents);
        item->setText(0, h.title);
        item->setData(0, Qt::UserRole, h.anchor);
        parents[h.level] = item;
        for (int deeper = h.level + 1; deeper <= 3; ++deeper)
            parents[deeper] = nullptr;
    }
    m_contents->expandAll();
    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { goTo(item->data(0, Qt::UserRole).toString()); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { goTo(item->data(0, Qt::UserRole).toString()); });

    auto *indexPage = new QWidget;
    auto *indexLayout = new QVBoxLayout(indexPage);
    m_search = new QLineEdit;
    m_search->setPlaceholderText(u"Type a keyword to find"_s);
    m_index = new QListWidget;
    indexLayout->addWidget(m_search);
    indexLayout->addWidget(m_index);
    connect(m_search, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem *item = m_index->currentItem())
            goTo(item->data(Qt::UserRole).toString());
    });
    connect(m_index, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { goTo(item->data(Qt::UserRole).toString()); });
    connect(m_index, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { goTo(item->data(Qt::UserRole).toString()); });

    m_tabs->addTab(m_contents, u"Contents"_s);
    m_tabs->addTab(indexPage, u"Index"_s);

    m_browser = new QTextBrowser;
    m_browser->setOpenExternalLinks(false);
    m_browser->setSearchPaths({QFileInfo(path).absolutePath()});
    if (nestsTooDeeply(html)) {
        // Lines as the file has them: wrapping one endless word costs as much again.
        m_browser->setWordWrapMode(QTextOption::NoWrap);
        m_browser->setPlainText(html);
    } else
        m_browser->setHtml(html);

    auto *splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    filterIndex(QString());
}

void HelpViewer::filterIndex(const QString &text)
{
    m_index->clear();
    for (const Keyword &k : std::as_const(m_keywords)) {
        if (text.isEmpty() || k.text.contains(text, Qt::CaseInsensitive)) {
            auto *item = new QListWidgetItem(k.text, m_index);
            item->setData(Qt::UserRole, k.anchor);
        }
    }
    if (m_index->count() > 0)
        m_index->setCurrentRow(0);
}

void HelpViewer::goTo(const QString &anchor)
{
    if (!anchor.isEmpty())
        m_browser->scrollToAnchor(anchor);
}

void HelpViewer::showContents()
{
    m_tabs->setCurrentIndex(0);
    m_browser->scrollToAnchor(u"top"_s);
    m_browser->moveCursor(QTextCursor::Start);
}

void HelpViewer::showIndex(const QString &keyword)
{
    m_tabs->setCurrentIndex(1);
    m_search->setText(keyword);
    m_search->setFocus();
}
