// The bytes of an import file to its lines: the lines joined by LF give the file back,
// once each CR LF is read as LF and a last line end is dropped.
#include "FuzzSupport.h"
#include "upload/ImportFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string path = ScratchDir() + "/import.RZ7";
    WriteFile(path, bytes);

    std::string expected;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        expected += bytes[i];
    }
    if (!expected.empty() && expected.back() == '\n')
        expected.pop_back();

    TImportFile file;
    file.Open(path);
    std::string joined;
    size_t lines = 0;
    while (!file.Eof()) {
        if (lines++ > 0)
            joined += '\n';
        joined += file.ReadLine();
        if (lines > bytes.size())
            Finding("more lines than bytes");
    }
    if (joined != expected)
        Finding("lines rejoined differ from the file");
    // Past the end: empty lines, still at the end.
    if (!file.ReadLine().empty() || !file.Eof())
        Finding("reading past the end gave data");
    return 0;
}
