#include "FileSystem.h"
#include "FileSystem_win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <aclapi.h>

#include <csignal>
#include <cstring>

// The held folder: on Windows a folder is its path, and a name in it the path joined.
namespace velra::platform {

using namespace win;

Folder::~Folder() = default;

bool Folder::open(const QString &path, int *, bool)
{
    m_path = path;
    return true;
}

bool File::openForSave(const Folder &in, const QString &name, bool *created, bool *device, int *code)
{
    return openForSave(in.pathOf(name), created, device, code);
}

bool File::createNew(const Folder &in, const QString &name, int *code, bool asNewFile)
{
    return createNew(in.pathOf(name), code, asNewFile);
}

bool File::isAtName(const Folder &in, const QString &name) const
{
    return isAtPath(in.pathOf(name));
}

bool removeEntry(const Folder &in, const QString &name, int *code)
{
    return removeEntry(in.pathOf(name), code);
}

bool replace(const Folder &in, const QString &from, const QString &to, bool *inPlace, int *code)
{
    return replace(in.pathOf(from), in.pathOf(to), inPlace, code);
}

void syncFolder(const Folder &)
{
    // MOVEFILE_WRITE_THROUGH has put the rename on disk.
}

} // namespace velra::platform
