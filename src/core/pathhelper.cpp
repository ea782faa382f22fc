#include "pathhelper.h"

QString stripPath(const QString &path)
{
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path.at(begin) == u' ')
        ++begin;
    while (end > begin && path.at(end - 1) == u' ')
        --end;
    QString rest = path.mid(begin, end - begin);
    for (;;) {
        qsizetype at = 0;
        while (at < rest.size() && rest.at(at) != u'\\' && rest.at(at) != u'/')
            ++at;
        // A leading backslash ends the stripping; a leading slash is a Linux root.
        if (at == rest.size() || (at == 0 && rest.at(0) == u'\\'))
            return rest;
        rest.remove(0, at + 1);
    }
}
