#include "helpviewer.h"

#include "uiservices.h"
#include "windowregistry.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
QPointer<HelpViewer> g_viewer;

QString plainText(QString html)
{
    static const QRegularExpression tags(u"<[^>]*>"_s);
    html.remove(tags);
    return html.replace(u"&amp;"_s, u"&"_s).replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).simplified();
}
} // namespace

HelpViewer *HelpViewer::current() { return g_viewer.data(); }

QList<HelpViewer::Heading> HelpViewer::headingsOf(const QString &html)
{
    static const QRegularExpression heading(
        u"<h([1-3])[^>]*>\\s*(?:<a\\s+name=\"([^\"]*)\"\\s*>\\s*</a>)?(.*?)</h\\1>"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QList<Heading> result;
    for (auto it = heading.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        result.append({m.captured(1).toInt(), m.captured(2), plainText(m.captured(3))});
    }
    return result;
}

QList<HelpViewer::Keyword> HelpViewer::keywordsOf(const QString &html)
{
    static const QRegularExpression anchor(u"<a\\s+name=\"kw:([^\"]+)\""_s, QRegularExpression::CaseInsensitiveOption);
    QList<Keyword> result;
    for (auto it = anchor.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        result.append({m.captured(1), u"kw:"_s + m.captured(1)});
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
