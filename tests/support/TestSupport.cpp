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

Run simpleRun()
{
    Run run;
    run.scroll = {QStringLiteral("scroll.bmp"), QStringLiteral("100"), QStringLiteral("50")};
    run.background = {QStringLiteral("back.bmp"), QStringLiteral("640"), QStringLiteral("480")};
    run.windowWidth = QStringLiteral("640");
    run.windowHeight = QStringLiteral("480");
    run.simple = {3, QStringLiteral("10"), 1, 3, QStringLiteral("2")};
    run.lines = 4;
    return run;
}

Run chainRun(const Chain &chain)
{
    Run run;
    run.scroll = {QStringLiteral("s.bmp"), QStringLiteral("10"), QStringLiteral("10")};
    run.background = {QStringLiteral("b.bmp"), QStringLiteral("64"), QStringLiteral("48")};
    run.windowWidth = QStringLiteral("64");
    run.windowHeight = QStringLiteral("48");
    run.mode = Run::Mode::Detailed;
    run.chain = chain;
    run.lines = 4;
    return run;
}

QByteArray scriptOf(const Run &run)
{
    QByteArray script;
    QString error;
    if (!generateScript(run, script, nullptr, &error))
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    return script;
}

} // namespace velra::test
