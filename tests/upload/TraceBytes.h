#pragma once

#include <QFile>
#include <QList>
#include <string>

// The bytes of a wire trace file, by direction, read back from its hex column.
struct TTraceBytes {
    std::string Sent;
    std::string Received;
    QList<QByteArray> Notes;
};

inline TTraceBytes ReadTraceBytes(const QString &path) {
    TTraceBytes trace;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return trace;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("# ")) {
            trace.Notes << line.mid(2);
            continue;
        }
        const QList<QByteArray> fields = line.left(line.indexOf('|')).simplified().split(' ');
        if (fields.size() < 3)
            continue;
        std::string &to = fields[1] == "->" ? trace.Sent : trace.Received;
        for (qsizetype i = 2; i < fields.size(); ++i)
            to += char(fields[i].toUInt(nullptr, 16));
    }
    return trace;
}
