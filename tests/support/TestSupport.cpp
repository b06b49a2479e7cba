#include "TestSupport.h"

#include "text/Cp932.h"

namespace velra::test {

QByteArray sjis(const QString &text)
{
    QByteArray out;
    if (!cp932::encode(text, out))
        qFatal("not CP932: %s", qPrintable(text));
    return out;
}

} // namespace velra::test
