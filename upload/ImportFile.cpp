#include "upload/ImportFile.h"

#include "upload/Errors.h"

#include <cerrno>

TImportFile::~TImportFile() {
    Close();
}

void TImportFile::Open(const std::string &path) {
    Close();
    File = std::fopen(path.c_str(), "rb");
    if (!File)
        RaiseInOutError(errno);
}

void TImportFile::Close() {
    if (File)
        std::fclose(File);
    File = nullptr;
}

bool TImportFile::Eof() {
    if (!File)
        return true;
    const int c = std::fgetc(File);
    if (c == EOF)
        return true;
    std::ungetc(c, File);
    return false;
}

std::string TImportFile::ReadLine() {
    std::string line;
    if (!File)
        return line;
    int c = std::fgetc(File);
    for (; c != EOF && c != '\n'; c = std::fgetc(File))
        line += static_cast<char>(c);
    if (std::ferror(File))
        RaiseInOutError(errno);
    // A line ends at LF or CR LF; a CR before the end of the file is data.
    if (c == '\n' && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool ReadImportHead(TImportFile &file) {
    file.ReadLine();
    if (file.ReadLine() != "<RZ7>")
        return false;
    file.ReadLine();
    file.ReadLine();
    return true;
}
