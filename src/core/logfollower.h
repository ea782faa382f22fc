#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

// Watches a loaded log that a running logger appends to, and reads only the bytes
// it gains. The file is opened for reading alone, and only for each look.
//
// start() takes the bytes already loaded (of which the last few are kept, to tell
// a file rewritten in place from one that grew). check() looks at the file once:
// it reads what was appended into pending(), whose complete lines the owner takes
// and then drops with take(); an unfinished last line stays pending until the
// rest of it arrives. A file that shrank, was replaced by another, or whose
// loaded bytes changed is reported as Replaced: it must be loaded again. One
// left without text (a logger that starts its file again) is reported once as
// Emptied instead; from then on check() reports None until the file holds a
// header line and one whole row, and then Replaced.
//
// A large gain is read a piece at a time, PieceBytes at most a look: hasMore()
// then asks for the next look soon, so that the owner can show each piece and
// let the user work in between. A run of NUL bytes with text after it (what a
// power cut leaves in the middle of a log) is passed over: it ends the line it
// cut short, the look ends there (skippedNulRun()) and the next one goes on
// with the text after it.
//
// While started, a file-system watch and a one-second timer (for file systems
// whose watch does not fire) emit touched(); the owner answers with check().
class LogFollower : public QObject
{
    Q_OBJECT

public:
    enum class Change { None, Grown, Replaced, Emptied };

    explicit LogFollower(QObject *parent = nullptr);
    ~LogFollower() override;

    void start(const QString &path, QByteArrayView loaded);
    void stop();
    bool isActive() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    Change check();
    QByteArrayView pending() const { return m_pending; }
    void take(qsizetype bytes);
    // The last look left bytes of the gain for the next one.
    bool hasMore() const { return m_more; }
    // Bytes of the gain the last look left for later ones.
    qint64 remaining() const { return m_remaining; }
    // The last look ended at a run of NUL bytes that it passed over: the pending
    // bytes came before it, and end in a line end.
    bool skippedNulRun() const { return m_skippedRun; }
    // Bytes read from the file since start(), the compared tail included.
    qint64 bytesRead() const { return m_bytesRead; }

    // How many loaded bytes are read again on each look to see that they stayed.
    static constexpr qsizetype TailBytes = 64;
    // The most a look reads of a gain.
    static constexpr qint64 PieceBytes = qint64(4) << 20;

signals:
    void touched();

private:
    void watch();
    // Replaced, or Emptied when the file holds no text: then waits for rows.
    Change replaced(qint64 size);

    QString m_path;
    qint64 m_offset = 0;  // bytes of the file looked at: loaded and pending
    QByteArray m_tail;    // the last bytes before m_offset
    QByteArray m_pending; // read but not yet taken
    qint64 m_bytesRead = 0;
    quint64 m_inode = 0;
    QDateTime m_modified;
    bool m_emptied = false; // waiting for an emptied file's first row
    bool m_more = false;
    qint64 m_remaining = 0;
    bool m_skippedRun = false;
    bool m_inRun = false;   // the last look ended inside a run of NUL bytes
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_timer = nullptr;
};
