#pragma once

#include <QObject>
#include <QString>

#include <functional>

// How a second copy of the wizard brings the first one's window to the front before it ends.
namespace velra::frontdoor {

// Held by the copy that runs: `raise` is called when a later copy knocks under `key`.
class FrontDoor : public QObject
{
    Q_OBJECT

public:
    FrontDoor(const QString &key, std::function<void()> raise, QObject *parent = nullptr);
    ~FrontDoor() override;

private:
    struct Private;
    Private *d = nullptr;
};

// Asks the copy behind `key` (process `pid`) to come to the front. False where the system does not
// allow it or nobody answered.
bool knock(const QString &key, qint64 pid);

} // namespace velra::frontdoor
