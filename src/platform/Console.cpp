#include "Console.h"

#include "text/Cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
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

namespace {

bool isConsole(std::FILE *stream)
{
    const HANDLE handle = handleOf(stream);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool writeConsole(std::FILE *stream, const QString &text)
{
    std::fflush(stream);
    const std::wstring wide = text.toStdWString();
    DWORD written = 0;
    return WriteConsoleW(handleOf(stream), wide.data(), DWORD(wide.size()), &written, nullptr) && written == wide.size();
}

// The text in the ANSI code page, when it holds every character.
bool inAnsiCodePage(const QString &text, QByteArray &out)
{
    const std::wstring wide = text.toStdWString();
    if (wide.empty())
        return true;
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0, nullptr, &lost);
    if (size <= 0 || lost)
        return false;
    out.resize(size);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), size, nullptr, &lost);
    return !lost;
}

} // namespace

bool writeText(std::FILE *stream, const QString &text)
{
    if (isConsole(stream))
        return writeConsole(stream, text);
    // A file or a pipe gets Windows' line ends, as Notepad and `type` expect.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QByteArray ansi;
    return writeBytes(stream, inAnsiCodePage(lines, ansi) ? ansi : lines.toUtf8());
}

bool writeScript(std::FILE *stream, QByteArrayView cp932)
{
    QString text;
    if (isConsole(stream) && cp932::decode(cp932, text))
        return writeConsole(stream, text + QLatin1Char('\n'));
    return writeBytes(stream, cp932);
}

bool isTerminal(std::FILE *stream)
{
    return isConsole(stream);
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

bool writeScript(std::FILE *stream, QByteArrayView cp932)
{
    return writeBytes(stream, cp932);
}

bool isTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

void attachParentConsole()
{
}

#endif

QStringList arguments(int argc, char *argv[], QByteArray *unreadable)
{
    unreadable->clear();
#ifdef Q_OS_WIN
    // Windows passes the command line as UTF-16, kept whole by Qt.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments().mid(1);
#else
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        QStringDecoder decode(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
        const QByteArray bytes(argv[i]);
        const QString arg = decode(bytes);
        if (unreadable->isNull() && (decode.hasError() || QFile::encodeName(arg) != bytes))
            *unreadable = bytes;
        args << arg;
    }
    return args;
#endif
}

} // namespace velra::console
