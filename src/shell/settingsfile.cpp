#include "settingsfile.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The line from `from` up to its LF (or the end), without the LF and a CR before it.
QByteArrayView lineAt(const QByteArray &text, qsizetype from, qsizetype *next)
{
    const char *start = text.constData() + from;
    const auto *lf = static_cast<const char *>(std::memchr(start, '\n', size_t(text.size() - from)));
    qsizetype end = lf ? lf - text.constData() : text.size();
    *next = lf ? end + 1 : end;
    if (end > from && text.at(end - 1) == '\r')
        --end;
    return QByteArrayView(start, end - from);
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text.at(from)))
        ++from;
    while (to > from && isBlank(text.at(to - 1)))
        --to;
    return text.sliced(from, to - from);
}

bool isKeyCharacter(uint c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == '.';
}

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// A key written exactly as SettingsFile::escapedKey() would write it.
bool isCanonicalKey(QByteArrayView key)
{
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char c = key.at(i);
        if (isKeyCharacter(uchar(c)) || c == '\\')
            continue;
        if (c != '%')
            return false;
        const bool wide = i + 1 < key.size() && key.at(i + 1) == 'U';
        const qsizetype first = i + (wide ? 2 : 1);
        const int digits = wide ? 4 : 2;
        if (first + digits > key.size())
            return false;
        uint code = 0;
        for (int d = 0; d < digits; ++d) {
            if (!isUpperHex(key.at(first + d)))
                return false;
            code = code * 16 + uint(hexValue(key.at(first + d)));
        }
        if (wide ? code <= 0xFF : (isKeyCharacter(code) || code == '/'))
            return false;
        i = first + digits - 1;
    }
    return true;
}

QString sectionNameOf(QByteArrayView header)
{
    // "[name]": the name up to the first ']', or the rest of the line without one.
    QByteArrayView inside = header.sliced(1);
    if (const qsizetype close = inside.indexOf(']'); close >= 0)
        inside = inside.first(close);
    inside = trimmed(inside);
    if (inside.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (inside.compare("%general", Qt::CaseInsensitive) == 0)
        return u"General"_s;
    return SettingsFile::unescapedKey(inside);
}

} // namespace

SettingsFile::SettingsFile(QByteArray text)
    : m_text(std::move(text))
{
    index();
}

void SettingsFile::index()
{
    m_parts.clear();
    Part part{sectionIndex(QString()), 0, 0, 0};
    qsizetype pos = 0;
    while (pos < m_text.size()) {
        qsizetype next = 0;
        const QByteArrayView line = trimmed(lineAt(m_text, pos, &next));
        if (line.startsWith('[')) {
            part.to = pos;
            m_parts.append(part);
            m_sections[part.section].parts.append(m_parts.size() - 1);
            part = {sectionIndex(sectionNameOf(line)), pos, next, next};
        }
        pos = next;
    }
    part.to = m_text.size();
    m_parts.append(part);
    m_sections[part.section].parts.append(m_parts.size() - 1);
}

qsizetype SettingsFile::sectionIndex(const QString &name)
{
    const auto found = m_byName.constFind(name);
    if (found != m_byName.constEnd())
        return *found;
    Section s;
    s.name = name;
    m_sections.append(std::move(s));
    m_byName.insert(name, m_sections.size() - 1);
    return m_sections.size() - 1;
}

SettingsFile::Section &SettingsFile::indexed(const QString &name)
{
    const QString inFile = name.compare(u"General"_s, Qt::CaseInsensitive) == 0 ? QString() : name;
    Section &s = m_sections[sectionIndex(inFile)];
    if (s.indexed)
        return s;
    s.indexed = true;
    qsizetype lineCount = 0;
    for (const qsizetype p : std::as_const(s.parts)) {
        const Part &part = m_parts.at(p);
        lineCount += QByteArrayView(m_text).sliced(part.bodyFrom, part.to - part.bodyFrom).count('\n');
    }
    s.lines.reserve(lineCount);
    for (const qsizetype p : std::as_const(s.parts)) {
        const Part &part = m_parts.at(p);
        for (qsizetype pos = part.bodyFrom, next = 0; pos < part.to; pos = next) {
            const QByteArrayView line = lineAt(m_text, pos, &next);
            const QByteArrayView content = trimmed(line);
            const qsizetype equals = content.indexOf('=');
            if (content.isEmpty() || content.front() == ';' || equals <= 0)
                continue;
            QByteArrayView key = trimmed(content.first(equals));
            if (!isCanonicalKey(key)) {
                m_rewrittenKeys.append(escapedKey(unescapedKey(key)));
                key = m_rewrittenKeys.constLast();
            }
            const qsizetype valueFrom = content.data() + equals + 1 - m_text.constData();
            s.lines.insert(key, {pos, valueFrom, pos + line.size()}); // the later line wins
        }
    }
    return s;
}

std::optional<QString> SettingsFile::value(const QString &section, const QString &key)
{
    const Section &s = indexed(section);
    const QByteArray escaped = escapedKey(key);
    if (const auto set = s.changed.constFind(escaped); set != s.changed.constEnd())
        return *set;
    const auto found = s.lines.constFind(escaped);
    if (s.cleared || found == s.lines.constEnd())
        return std::nullopt;
    QString value = unescapedValue(QByteArrayView(m_text).sliced(found->valueFrom, found->to - found->valueFrom));
    // What Qt writes for "no value" is none; a value starting with '@' has it doubled.
    if (value == u"@Invalid()"_s)
        return std::nullopt;
    if (value.startsWith(u"@@"_s))
        value.remove(0, 1);
    return value;
}

bool SettingsFile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (this->value(section, key) == value)
        return false;
    Section &s = indexed(section);
    const QByteArray escaped = escapedKey(key);
    if (!s.changed.contains(escaped) && (s.cleared || !s.lines.contains(escaped)))
        s.added.append(escaped);
    s.changed.insert(escaped, value);
    return true;
}

void SettingsFile::removeSection(const QString &section)
{
    Section &s = indexed(section);
    if ((s.cleared || s.lines.isEmpty()) && s.changed.isEmpty())
        return;
    s.cleared = true;
    s.changed.clear();
    s.added.clear();
}

bool SettingsFile::isChanged(const Section &s) const { return s.cleared || !s.changed.isEmpty(); }

bool SettingsFile::isChanged() const
{
    return std::any_of(m_sections.begin(), m_sections.end(), [this](const Section &s) { return isChanged(s); });
}

void SettingsFile::writeSection(QByteArray &out, const Section &s) const
{
    QHash<QByteArrayView, const QString *> set;
    for (auto it = s.changed.cbegin(); it != s.changed.cend(); ++it)
        set.insert(QByteArrayView(it.key()), &it.value());
    QByteArray body;
    if (!s.cleared) {
        // The text's own lines, each changed key's last line with its new value.
        for (const qsizetype p : s.parts) {
            const Part &part = m_parts.at(p);
            for (qsizetype pos = part.bodyFrom, next = 0; pos < part.to; pos = next) {
                const QByteArrayView line = lineAt(m_text, pos, &next);
                const QByteArrayView content = trimmed(line);
                const qsizetype equals = content.indexOf('=');
                if (equals > 0 && content.front() != ';') {
                    QByteArrayView key = trimmed(content.first(equals));
                    const QByteArray canonical = isCanonicalKey(key) ? QByteArray() : escapedKey(unescapedKey(key));
                    if (!canonical.isEmpty())
                        key = canonical;
                    const QString *value = set.value(key);
                    if (value && s.lines.value(key).from == pos) {
                        body += key.toByteArray() + '=' + escapedValue(*value) + '\n';
                        continue;
                    }
                }
                body.append(m_text.constData() + pos, next - pos);
            }
        }
    }
    if (!s.added.isEmpty()) {
        while (body.endsWith("\n\n") || body.endsWith("\n\r\n"))
            body.chop(body.endsWith("\n\n") ? 1 : 2);
        if (!body.isEmpty() && !body.endsWith('\n'))
            body += '\n';
        for (const QByteArray &key : s.added)
            body += key + '=' + escapedValue(s.changed.value(key)) + '\n';
    }
    if (std::all_of(body.begin(), body.end(), [](char c) { return QChar::isSpace(uchar(c)); }))
        return; // nothing left: no section
    if (!out.isEmpty()) {
        if (!out.endsWith('\n'))
            out += '\n';
        if (!out.endsWith("\n\n") && !out.endsWith("\n\r\n"))
            out += '\n';
    }
    out += '[';
    out += s.name.isEmpty() ? QByteArray("General") : escapedKey(s.name);
    out += "]\n";
    out += body;
}

QByteArray SettingsFile::text() const
{
    QByteArray out;
    out.reserve(m_text.size() + 256);
    QList<bool> written(m_sections.size(), false);
    for (const Part &part : m_parts) {
        const Section &s = m_sections.at(part.section);
        if (isChanged(s)) {
            if (!std::exchange(written[part.section], true))
                writeSection(out, s);
            continue;
        }
        // A header must start a line, whatever the part before it ended with.
        if (part.headerFrom < part.bodyFrom && !out.isEmpty() && !out.endsWith('\n'))
            out += '\n';
        out.append(m_text.constData() + part.headerFrom, part.to - part.headerFrom);
    }
    for (qsizetype i = 0; i < m_sections.size(); ++i)
        if (isChanged(m_sections.at(i)) && !written.at(i))
            writeSection(out, m_sections.at(i));
    return out;
}

void SettingsFile::settle(QByteArray written)
{
    m_text = std::move(written);
    for (Section &s : m_sections)
        s = Section{s.name, {}, false, {}, false, {}, {}};
    m_rewrittenKeys.clear();
    index();
}

QByteArray SettingsFile::escapedKey(const QString &key)
{
    QByteArray out;
    out.reserve(key.size());
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == u'/') {
            out += '\\';
        } else if (isKeyCharacter(c)) {
            out += char(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += HexDigits[c >> 4];
            out += HexDigits[c & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += HexDigits[(c >> shift) & 0xF];
        }
    }
    return out;
}

QString SettingsFile::unescapedKey(QByteArrayView text)
{
    // Keys are mostly ASCII: decoded byte by byte into the result's own storage.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
    const QString decoded = ascii ? QString() : QString::fromUtf8(text);
    const qsizetype size = ascii ? text.size() : decoded.size();
    auto at = [&](qsizetype i) -> char16_t { return ascii ? char16_t(uchar(text.at(i))) : decoded.at(i).unicode(); };
    QString out(size, Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < size;) {
        const char16_t c = at(i);
        if (c == u'\\') {
            *to++ = u'/';
            ++i;
            continue;
        }
        if (c == u'%' && i + 1 < size) {
            const bool wide = at(i + 1) == u'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const int digits = wide ? 4 : 2;
            if (first + digits <= size) {
                int code = 0;
                for (int d = 0; d < digits && code >= 0; ++d) {
                    const int h = hexValue(at(first + d));
                    code = h < 0 ? -1 : code * 16 + h;
                }
                if (code >= 0) {
                    *to++ = char16_t(code);
                    i = first + digits;
                    continue;
                }
            }
        }
        *to++ = c;
        ++i;
    }
    out.truncate(to - reinterpret_cast<const char16_t *>(out.constData()));
    return out;
}

QByteArray SettingsFile::escapedValue(const QString &value)
{
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    QByteArray out;
    out.reserve(text.size() + 2);
    bool quotes = false;
    bool escapeHexDigit = false; // after a \x or \0 escape, a digit would be read into it
    qsizetype plainFrom = 0;
    auto flushPlain = [&](qsizetype to) {
        if (to > plainFrom)
            out += QStringView(text).sliced(plainFrom, to - plainFrom).toUtf8();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u';' || c == u',' || c == u'=')
            quotes = true;
        const char *named = nullptr;
        switch (c) {
        case u'\a': named = "\\a"; break;
        case u'\b': named = "\\b"; break;
        case u'\f': named = "\\f"; break;
        case u'\n': named = "\\n"; break;
        case u'\r': named = "\\r"; break;
        case u'\t': named = "\\t"; break;
        case u'\v': named = "\\v"; break;
        case u'"': named = "\\\""; break;
        case u'\\': named = "\\\\"; break;
        default: break;
        }
        const bool hexAfterEscape = escapeHexDigit && hexValue(c) >= 0;
        escapeHexDigit = false;
        if (!named && !hexAfterEscape && c > 0x1F)
            continue; // plain, written with its neighbours
        flushPlain(i);
        plainFrom = i + 1;
        if (named) {
            out += named;
        } else {
            out += "\\x" + QByteArray::number(uint(c), 16);
            escapeHexDigit = true;
        }
    }
    flushPlain(text.size());
    if (quotes || out.startsWith(' ') || out.endsWith(' ')) {
        out.prepend('"');
        out += '"';
    }
    return out;
}

QString SettingsFile::unescapedValue(QByteArrayView text)
{
    // Most values hold no escape: plain, or quoted whole.
    const QByteArrayView bare = trimmed(text);
    const auto plain = [](QByteArrayView t) {
        return t.indexOf('\\') < 0 && t.indexOf('"') < 0 && t.indexOf(';') < 0;
    };
    if (plain(bare))
        return QString::fromUtf8(bare);
    if (bare.size() >= 2 && bare.front() == '"' && bare.back() == '"' && plain(bare.sliced(1, bare.size() - 2)))
        return QString::fromUtf8(bare.sliced(1, bare.size() - 2));

    QString out;
    qsizetype i = 0;
    bool inQuotes = false;
    bool quoted = false;
    while (i < text.size() && isBlank(text.at(i)))
        ++i;
    qsizetype chopLimit = 0; // trailing blanks are cut back to here, not into escapes
    while (i < text.size()) {
        const char c = text.at(i);
        if (c == '\\') {
            ++i;
            if (i >= text.size())
                break;
            const char e = text.at(i++);
            switch (e) {
            case 'a': out += u'\a'; break;
            case 'b': out += u'\b'; break;
            case 'f': out += u'\f'; break;
            case 'n': out += u'\n'; break;
            case 'r': out += u'\r'; break;
            case 't': out += u'\t'; break;
            case 'v': out += u'\v'; break;
            case '"':
            case '?':
            case '\'':
            case '\\': out += QLatin1Char(e); break;
            case 'x': {
                char16_t code = 0;
                while (i < text.size() && hexValue(text.at(i)) >= 0)
                    code = char16_t(code * 16 + hexValue(text.at(i++)));
                out += QChar(code);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    char16_t code = char16_t(e - '0');
                    while (i < text.size() && text.at(i) >= '0' && text.at(i) <= '7')
                        code = char16_t(code * 8 + (text.at(i++) - '0'));
                    out += QChar(code);
                }
                break; // any other escaped character is dropped
            }
            chopLimit = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                while (i < text.size() && isBlank(text.at(i)))
                    ++i;
            }
            chopLimit = out.size();
        } else if (c == ';' && !inQuotes) {
            break; // a comment after the value
        } else {
            qsizetype j = i + 1;
            while (j < text.size() && text.at(j) != '\\' && text.at(j) != '"' && text.at(j) != ';')
                ++j;
            out += QString::fromUtf8(text.sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        qsizetype end = out.size();
        while (end > chopLimit && (out.at(end - 1) == u' ' || out.at(end - 1) == u'\t'))
            --end;
        out.truncate(end);
    }
    return out;
}
