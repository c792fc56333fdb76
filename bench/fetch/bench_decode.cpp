// Decoding time of generated capture logs of 100,000 and 1,000,000 lines: classes over all
// 65,536 start numbers, a name for each, and three passes sharing the remaining lines.
#include "fetch/Decoder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int StartNumbers = 65536;
constexpr int ClassSize = 256;

std::string Bytes(std::initializer_list<int> values) {
    std::string line;
    for (int v : values) {
        if (!line.empty())
            line += ',';
        line += std::to_string(v);
    }
    return line;
}

// The log as the capture writes it: each record closed by a blank and CR LF.
void WriteLog(const std::string &path, long lines) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    auto put = [&](const std::string &record) { std::fprintf(file, "%s \r\n", record.c_str()); };
    long written = 0;
    for (int fra = 0; fra < StartNumbers; fra += ClassSize, ++written) {
        const int til = fra + ClassSize - 1;
        std::string record = "2,67";
        for (int i = 0; i < 16; ++i)
            record += ",0";
        put(record + "," +
            Bytes({fra >> 8, fra & 255, til >> 8, til & 255, 10, 30, 0, 1, 30, 0, 0, 1, 3, 40}));
    }
    for (int n = 0; n < StartNumbers; ++n, ++written)
        put(Bytes({2, 78, n >> 8, n & 255, 65 + n % 26, 78, 78, 69, 32, 32, 32, 32, 3, 17}));
    const long passes = std::max(0L, lines - written - 3);
    for (int pass = 0; pass < 3; ++pass) {
        put("2,72,1,0,3,77");
        const long count = passes / 3 + (pass < passes % 3 ? 1 : 0);
        for (long i = 0; i < count; ++i) {
            const int n = int(i % StartNumbers);
            const int seconds = int((i * 7 + pass * 600) % 65536);
            put(Bytes({2, 80, 0, 0, 0, 0, n >> 8, n & 255, seconds >> 8, seconds & 255, 3, 99}));
        }
    }
    std::fclose(file);
}

// The best of three runs, each into fresh tables.
double DecodeSeconds(const std::string &path, int &rows) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        TMemTable tklasse("tklasse", ClassTableFields());
        TMemTable ttider("ttider", TimesTableFields(), TimesTableKey);
        int32_t passNumber = 0;
        TCaptureDecoder decoder(tklasse, ttider, passNumber, nullptr);
        QElapsedTimer timer;
        timer.start();
        decoder.Start();
        decoder.visdata(path);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
        rows = ttider.RowCount();
    }
    return best;
}

} // namespace

int main() {
    QTemporaryDir dir;
    double seconds[2] = {};
    const long sizes[2] = {100000, 1000000};
    for (int i = 0; i < 2; ++i) {
        const std::string path = dir.filePath("rz8.log").toStdString();
        WriteLog(path, sizes[i]);
        int rows = 0;
        seconds[i] = DecodeSeconds(path, rows);
        std::printf("%8ld lines: %.3f s (%d start-number rows)\n", sizes[i], seconds[i], rows);
    }
    std::printf("ratio 1,000,000 / 100,000 lines: %.2f (goal <= 11; 1,000,000 lines goal <= 1 s)\n",
                seconds[1] / seconds[0]);
    return 0;
}
