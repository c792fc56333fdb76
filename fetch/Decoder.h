#pragma once

#include "fetch/ResultTables.h"

#include <cstdint>
#include <functional>
#include <string>

// A duration as the clock's lists show it: "mm:ss", or " h:mm:ss" / "hh:mm:ss" from an
// hour on. `unit` 1 reads the value as milliseconds, any other unit as seconds.
std::string lagtid(int32_t value, int unit);

// The separator the system writes between hours and minutes; ':' when it has none that
// fits in one byte.
char SystemTimeSeparator();

// Turns the capture log into rows of the class table and the start-number table. Each
// record is converted in full before the tables change, so a bad record stores nothing.
class TCaptureDecoder {
public:
    TCaptureDecoder(TMemTable &tklasse, TMemTable &ttider, int32_t &passNumber,
                    std::function<void(const std::string &)> showClockTime);

    // A run's start: pass 0, both tables open and in edit, ttider first.
    void Start();
    // Reads the log at `path` to its end, handing each record line to its decoder.
    // A missing log raises EInOutError "File not found".
    void visdata(const std::string &path);
    // One record each: the rest of the line after its type field.
    void klasse(std::string rest);
    void tid(std::string rest);
    void header(std::string rest);
    void pass(std::string rest);
    void navn(std::string rest);

    // Put in place of each colon of "hh:mm:ss" and "nn:ss"; lagtid keeps ':'.
    char TimeSeparator;

private:
    TMemTable &FClasses;
    TMemTable &FTimes;
    int32_t &FPassNumber;
    std::function<void(const std::string &)> FShowClockTime;
};
