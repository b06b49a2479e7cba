#include "FrontDoor.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace velra::frontdoor {

struct FrontDoor::Private
{
    QLocalServer server;
};

FrontDoor::FrontDoor(const QString &key, std::function<void()> raise, QObject *parent)
    : QObject(parent)
    , d(new Private)
{
    // Only this user may knock.
    d->server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!d->server.listen(key)) {
        // A socket left by a copy that was killed: the folder's lock says nobody else runs.
        QLocalServer::removeServer(key);
        d->server.listen(key);
    }
    connect(&d->server, &QLocalServer::newConnection, this, [this, raise] {
        while (QLocalSocket *socket = d->server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            raise();
        }
    });
}

FrontDoor::~FrontDoor()
{
    delete d;
}

bool knock(const QString &key, qint64)
{
    QLocalSocket socket;
    socket.connectToServer(key);
    if (!socket.waitForConnected(2000))
        return false;
    socket.disconnectFromServer();
    return true;
}

} // namespace velra::frontdoor
