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

// The cleanup on interrupt: not armed on Windows.
namespace velra::platform {

int removeOnInterrupt(const QString &)
{
    return -1;
}

void keepOnInterrupt(int)
{
}

} // namespace velra::platform
