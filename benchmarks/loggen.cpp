#include "loggen.h"

#include <QBuffer>
#include <QFile>

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <cmath>
#include <numbers>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Channel
{
    const char *name;
    double base;
    double amplitude;
};
// Magnitudes keep each column's digit count steady: about 114 bytes a line with 12 values.
constexpr Channel Channels[] = {
    {"Inlet Temp", 45, 8},   {"Outlet Temp", 62, 10}, {"Pressure", 1013, 12}, {"Flow", 250, 60},
    {"Level", 75, 15},       {"Voltage", 230, 5},     {"Current", 42, 15},    {"Speed", 1450, 300},
    {"Humidity", 55, 20},    {"Vibration", 12.5, 2},  {"Torque", 180, 40},    {"Power", 2800, 900},
};
constexpr int ChannelCount = int(std::size(Channels));

// A small, fast generator whose sequence is the same on every machine.
class SplitMix
{
public:
    explicit SplitMix(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    quint64 m_state;
};

struct Signal
{
    double base;
    double amplitude;
    double periodSeconds;
    double noise;
};

void appendTime(std::string &out, int secondOfDay)
{
    const int hour = secondOfDay / 3600;
    const int minute = secondOfDay / 60 % 60;
    const int second = secondOfDay % 60;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour12, minute, second, hour < 12 ? "AM" : "PM");
    out.append(buffer, size_t(n));
}

} // namespace

QString logValueName(int index)
{
    const QString base = QString::fromLatin1(Channels[index % ChannelCount].name);
    return index < ChannelCount ? base : base + u' ' + QString::number(index / ChannelCount + 1);
}

bool writeLog(QIODevice &device, const LogGenOptions &options, QString *error)
{
    SplitMix random(options.seed);
    std::vector<Signal> signals_;
    for (int c = 0; c < options.valueColumns; ++c) {
        const Channel &channel = Channels[c % ChannelCount];
        signals_.push_back({channel.base, channel.amplitude, 600.0 + 900.0 * c, channel.amplitude * 0.05});
    }

    std::string out;
    out.reserve(1 << 20);
    out += "Date,Time";
    for (int c = 0; c < options.valueColumns; ++c) {
        out += ',';
        out += logValueName(c).toStdString();
    }
    out += "\r\n";

    auto flush = [&](bool force) {
        if (!force && out.size() < (1u << 20))
            return true;
        if (device.write(out.data(), qint64(out.size())) != qint64(out.size())) {
            if (error)
                *error = device.errorString();
            return false;
        }
        out.clear();
        return true;
    };

    qint64 currentDay = -1;
    std::string dateText;
    for (qint64 row = 0; row < options.rows; ++row) {
        const qint64 elapsed = options.startSecond + row * options.intervalSeconds;
        const qint64 day = elapsed / 86400;
        if (day != currentDay) {
            currentDay = day;
            const QDate date = options.startDate.addDays(day);
            dateText = std::to_string(date.month()) + '/' + std::to_string(date.day()) + '/' + std::to_string(date.year());
        }
        out += dateText;
        out += ',';
        appendTime(out, int(elapsed % 86400));
        const double t = double(row * options.intervalSeconds);
        for (const Signal &s : signals_) {
            out += ',';
            const double draw = random.unit();
            if (options.emptyOneIn > 0 && random.next() % quint64(options.emptyOneIn) == 0)
                continue;
            const double value = s.base + s.amplitude * std::sin(2 * std::numbers::pi * t / s.periodSeconds)
                                 + s.noise * (draw - 0.5);
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
            out.append(buffer, result.ptr);
        }
        out += "\r\n";
        if (!flush(false))
            return false;
    }
    return flush(true);
}

bool writeLog(const QString &path, const LogGenOptions &options, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!writeLog(file, options, error))
        return false;
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // On the disk before anything is timed: the writing back of a gigabyte
    // would otherwise share the machine with the load it is read for.
    ::fsync(file.handle());
    return true;
}

QByteArray generateLog(const LogGenOptions &options)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeLog(buffer, options);
    return bytes;
}
