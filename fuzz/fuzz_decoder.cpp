// Any capture log text to the two result tables. Errors must be the program's own, and
// the tables must still answer for every row and field afterwards.
#include "FuzzSupport.h"
#include "fetch/Decoder.h"
#include "upload/Errors.h"

#include <cstdint>
#include <string>

namespace {

void CheckReadable(const TMemTable &table) {
    const int rows = table.RowCount();
    if (rows < 0)
        Finding("negative row count");
    if (table.RecNo() < -1 || table.RecNo() >= rows)
        Finding("current row outside the table");
    for (int r = 0; r < rows; ++r)
        for (int f = 0; f < int(table.Fields().size()); ++f) {
            const TFieldValue &value = table.Cell(r, f);
            if (const auto *text = std::get_if<std::string>(&value))
                if (int(text->size()) > table.Fields()[f].Size)
                    Finding("text longer than its field");
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = ScratchDir() + "/rz8.log";
    WriteFile(path, std::string_view(reinterpret_cast<const char *>(data), size));

    TMemTable tklasse("tklasse", ClassTableFields());
    TMemTable ttider("ttider", TimesTableFields(), TimesTableKey);
    int32_t passNumber = 0;
    TCaptureDecoder decoder(tklasse, ttider, passNumber, [](const std::string &) {});
    decoder.TimeSeparator = ':';
    try {
        decoder.Start();
        decoder.visdata(path);
    } catch (const EConvertError &) {
    } catch (const EDatabaseError &) {
    } catch (const EInOutError &) {
    }
    CheckReadable(tklasse);
    CheckReadable(ttider);
    return 0;
}
