#include "fetch/Decoder.h"

#include "upload/Errors.h"
#include "upload/ImportFile.h"
#include "upload/ImportLine.h"

#include <QLocale>
#include <algorithm>
#include <array>

namespace {

constexpr int32_t MaxStartNumber = 65535;

// The next field of a record, read as an integer.
int32_t Converted(std::string &rest) {
    std::string field;
    strseparer(rest, field);
    return StrToInt(field);
}

void Skip(std::string &rest, int count) {
    std::string field;
    for (int i = 0; i < count; ++i)
        strseparer(rest, field);
}

// High byte and low byte; wraps as the clock's 32-bit arithmetic would.
int32_t Word(int32_t high, int32_t low) {
    return int32_t(uint32_t(high) * 256u + uint32_t(low));
}

void CheckTime(int32_t hour, int32_t minute, int32_t second) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60)
        throw EConvertError("Invalid argument to time encode");
}

std::string TwoDigits(int32_t v) {
    return v < 10 ? "0" + std::to_string(v) : std::to_string(v);
}

std::string Time(int32_t hour, int32_t minute, int32_t second, char sep) {
    return TwoDigits(hour) + sep + TwoDigits(minute) + sep + TwoDigits(second);
}

} // namespace

std::string lagtid(int32_t value, int unit) {
    if (unit == 1)
        value /= 1000;
    const int32_t hours = value / 3600;
    const int32_t minutes = value % 3600 / 60;
    const int32_t seconds = value % 60;
    std::string text;
    if (hours >= 1 && hours <= 9)
        text = " " + std::to_string(hours);
    else if (hours != 0)
        text = std::to_string(hours).substr(0, 2);
    if (!text.empty())
        text += ':';
    return text + TwoDigits(minutes) + ':' + TwoDigits(seconds);
}

char SystemTimeSeparator() {
    // The first character after the hours of the short time format, "HH:mm" -> ':'.
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    qsizetype i = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (i < 0)
        return ':';
    while (i < format.size() && (format[i] == 'h' || format[i] == 'H'))
        ++i;
    if (i >= format.size())
        return ':';
    const QChar sep = format[i];
    if (sep.isLetterOrNumber() || sep.isSpace() || sep == '\'' || sep.unicode() > 0xFF)
        return ':';
    return char(sep.unicode());
}

TCaptureDecoder::TCaptureDecoder(TMemTable &tklasse, TMemTable &ttider, int32_t &passNumber,
                                 std::function<void(const std::string &)> showClockTime)
    : TimeSeparator(SystemTimeSeparator()), FClasses(tklasse), FTimes(ttider),
      FPassNumber(passNumber), FShowClockTime(std::move(showClockTime)) {}

void TCaptureDecoder::Start() {
    FPassNumber = 0;
    FTimes.Open();
    FTimes.Edit();
    FClasses.Open();
    FClasses.Edit();
}

void TCaptureDecoder::visdata(const std::string &path) {
    // Closed on every way out, an error's too.
    TImportFile log;
    log.Open(path);
    std::string field;
    while (!log.Eof()) {
        std::string line = log.ReadLine();
        strseparer(line, field);
        if (field == "2")
            strseparer(line, field);
        if (field == "67")
            klasse(std::move(line));
        else if (field == "84")
            tid(std::move(line));
        else if (field == "72")
            header(std::move(line));
        else if (field == "80")
            pass(std::move(line));
        else if (field == "78")
            navn(std::move(line));
    }
    log.Close();
}

void TCaptureDecoder::klasse(std::string rest) {
    Skip(rest, 16);
    std::array<int32_t, 12> f{};
    for (int32_t &v : f)
        v = Converted(rest);
    const int32_t fra = Word(f[0], f[1]);
    const int32_t til = Word(f[2], f[3]);
    const int32_t parstart = Word(f[9], f[10]);
    const int32_t sjekk = f[11];
    FClasses.Open();
    FClasses.Edit();
    CheckTime(f[4], f[5], f[6]);
    CheckTime(0, f[7], f[8]);
    const char sep = TimeSeparator;
    FClasses.AppendRecord({Null, fra, til, Time(f[4], f[5], f[6], sep),
                           TwoDigits(f[7]) + sep + TwoDigits(f[8]), parstart, sjekk});
    // A start number is two bytes. Fields above a byte can name a range of billions,
    // which would fill memory from one line: only the part a clock can hold gets rows.
    const int64_t first = std::max<int64_t>(fra, 0);
    const int64_t last = std::min<int64_t>(til, MaxStartNumber);
    for (int64_t startnr = first; startnr <= last; ++startnr)
        FTimes.AppendRecord({Null, int32_t(startnr)});
}

void TCaptureDecoder::tid(std::string rest) {
    std::array<int32_t, 4> f{};
    for (int32_t &v : f)
        v = Converted(rest);
    CheckTime(f[1], f[2], f[3]);
    if (FShowClockTime)
        FShowClockTime("RZ8 tid: " + Time(f[1], f[2], f[3], TimeSeparator));
}

void TCaptureDecoder::header(std::string rest) {
    Converted(rest);
    Converted(rest);
    ++FPassNumber;
}

void TCaptureDecoder::pass(std::string rest) {
    std::array<int32_t, 8> f{};
    for (int32_t &v : f)
        v = Converted(rest);
    const int32_t startnr = Word(f[4], f[5]);
    const int32_t seconds = Word(f[6], f[7]);
    if (!FTimes.Locate(TimesTableKey, startnr))
        return;
    FTimes.Edit();
    const std::string pass = std::to_string(FPassNumber);
    FTimes.FieldByName("tidsek" + pass).SetAsInteger(seconds);
    FTimes.FieldByName("tidstr" + pass).SetAsString(lagtid(seconds, 0));
    FTimes.Post();
}

void TCaptureDecoder::navn(std::string rest) {
    std::array<int32_t, 10> f{};
    for (int32_t &v : f)
        v = Converted(rest);
    const int32_t startnr = Word(f[0], f[1]);
    std::string name;
    for (size_t i = 2; i < f.size(); ++i)
        name += char(uint8_t(f[i]));
    if (!FTimes.Locate(TimesTableKey, startnr))
        return;
    FTimes.Edit();
    FTimes.FieldByName("navn").SetAsString(name);
    FTimes.Post();
}
