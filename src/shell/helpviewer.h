#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

// The program's help engine: a window that shows the HTML help file at its
// contents or at its keyword index. Keywords are the anchors named "kw:..." in
// the file; the contents are its h1 to h3 headings.
class HelpViewer : public QWidget
{
    Q_OBJECT

public:
    // The commands of the classic help engine that the Help menu passes.
    enum Command : int { HelpContents = 3, HelpPartialKey = 0x105 };

    struct Heading
    {
        int level;
        QString anchor;
        QString title;
    };
    struct Keyword
    {
        QString text;
        QString anchor;
    };

    // Opens the help file at `path` for `command`. A file that cannot be read gets a
    // message of the viewer's own and no window.
    static void winHelp(QWidget *owner, const QString &path, int command);
    // The one open help window, if any.
    static HelpViewer *current();

    // Both read the file in time linear in its size, whatever tags it leaves open;
    // `scanned`, when given, is raised by the characters the searches passed over.
    static QList<Heading> headingsOf(const QString &html, qsizetype *scanned = nullptr);
    static QList<Keyword> keywordsOf(const QString &html, qsizetype *scanned = nullptr);

    void showContents();
    void showIndex(const QString &keyword);
    QString filePath() const { return m_path; }
    QTextBrowser *browser() const { return m_browser; }
    QListWidget *indexList() const { return m_index; }
    QTreeWidget *contentsTree() const { return m_contents; }
    QTabWidget *tabs() const { return m_tabs; }

private:
    HelpViewer(const QString &path, const QString &html);
    void filterIndex(const QString &text);
    void goTo(const QString &anchor);

    QString m_path;
    QList<Keyword> m_keywords;
    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_search = nullptr;
    QListWidget *m_index = nullptr;
    QTextBrowser *m_browser = nullptr;
};
