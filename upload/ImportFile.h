#pragma once

#include <cstdio>
#include <string>

// The import file read as text lines. A line ends at LF or CR LF; reading
// past the last line gives empty lines.
class TImportFile {
public:
    TImportFile() = default;
    ~TImportFile();
    TImportFile(const TImportFile &) = delete;
    TImportFile &operator=(const TImportFile &) = delete;

    // Raises EInOutError when the file cannot be opened.
    void Open(const std::string &path);
    void Close();
    bool IsOpen() const { return File != nullptr; }
    bool Eof();
    std::string ReadLine();

private:
    std::FILE *File = nullptr;
};

// Reads the four lines before the first line to send: a declaration, the root tag and two
// more. False when the second is not the root tag "<RZ7>".
bool ReadImportHead(TImportFile &file);
