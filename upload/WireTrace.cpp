#include "upload/WireTrace.h"

#include "serial/CPort.h"
#include "upload/Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char *ControlName(unsigned char byte) {
    switch (byte) {
    case 0x00:
        return "NUL";
    case 0x02:
        return "STX";
    case 0x03:
        return "ETX";
    case 0x06:
        return "ACK";
    case 0x0A:
        return "LF";
    case 0x0D:
        return "CR";
    case 0x15:
        return "NAK";
    case 0x18:
        return "CAN";
    default:
        return nullptr;
    }
}

} // namespace

TWireTrace::TWireTrace(const std::string &path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        RaiseInOutError(errno);
    File = fdopen(fd, "w");
    if (!File) {
        const int err = errno;
        close(fd);
        RaiseInOutError(err);
    }
    Note("RZ8 Filoverføring: tid i ms, -> til klokken, <- fra klokken");
    Link.OnTxBuf = [this](QObject *, const char *buffer, int count) {
        Sent(std::string_view(buffer, std::size_t(count)));
    };
    Link.OnConn = [this](QObject *, bool open) {
        Note("port " + Port->Port() + (open ? " åpnet" : " lukket"));
    };
}

TWireTrace::~TWireTrace() {
    Unwatch();
    std::fclose(File);
}

void TWireTrace::Watch(TCustomComPort &port) {
    Unwatch();
    Port = &port;
    port.AttachLink(&Link);
}

void TWireTrace::Unwatch() {
    if (Port)
        Port->DetachLink(&Link);
    Port = nullptr;
}

std::string TWireTrace::Hex(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!out.empty())
            out += ' ';
        out += Digits[byte >> 4];
        out += Digits[byte & 15];
    }
    return out;
}

std::string TWireTrace::Text(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (const char *name = ControlName(byte))
            out += std::string("<") + name + ">";
        else
            out += byte >= 0x20 && byte < 0x7F ? c : '.';
    }
    return out;
}

void TWireTrace::Note(std::string_view text) {
    Line("# " + std::string(text));
}

void TWireTrace::Burst(const char *direction, std::string_view bytes) {
    if (bytes.empty())
        return;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
    char head[32];
    std::snprintf(head, sizeof head, "%10.3f %s ", ms, direction);
    Line(head + Hex(bytes) + "  |" + Text(bytes) + "|");
}

// Written out at once: a trace is read after something went wrong, perhaps a crash.
void TWireTrace::Line(const std::string &text) {
    std::fputs(text.c_str(), File);
    std::fputc('\n', File);
    std::fflush(File);
}
