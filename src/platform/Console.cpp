#include "Console.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace velra::console {

#ifdef Q_OS_WIN
namespace {

HANDLE handleOf(std::FILE *stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

} // namespace

bool writeBytes(std::FILE *stream, QByteArrayView bytes)
{
    std::fflush(stream);
    const int previous = _setmode(_fileno(stream), _O_BINARY);
    const bool ok = std::fwrite(bytes.data(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
        && std::fflush(stream) == 0;
    if (previous != -1)
        _setmode(_fileno(stream), previous);
    return ok;
}

bool writeText(std::FILE *stream, const QString &text)
{
    std::fflush(stream);
    const HANDLE handle = handleOf(stream);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = text.toStdWString();
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr) && written == wide.size();
    }
    return writeBytes(stream, text.toUtf8());
}

void attachParentConsole()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        return; // redirected to a file or a pipe: it already leads somewhere
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE *ignored = nullptr;
        freopen_s(&ignored, "CONOUT$", "w", stdout);
        freopen_s(&ignored, "CONOUT$", "w", stderr);
    }
}

#else

bool writeBytes(std::FILE *stream, QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, size_t(bytes.size()), stream) == size_t(bytes.size()) && std::fflush(stream) == 0;
}

bool writeText(std::FILE *stream, const QString &text)
{
    return writeBytes(stream, text.toLocal8Bit());
}

void attachParentConsole()
{
}

#endif

} // namespace velra::console
