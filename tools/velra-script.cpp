// The command-line companion: the wizard's engine for authors who script their work.
#include "handoff/HandoffFiles.h"
#include "handoff/SettingsLog.h"
#include "platform/Console.h"
#include "script/OutputFile.h"
#include "script/ScriptFile.h"
#include "script/ScrollScript.h"

#include <QCoreApplication>
#include <QFile>
#include <QDir>

#include <csignal>
#include <cstdio>

using namespace velra;

namespace {

const char kUsage[] =
    "usage: velra-script generate LOG [-o OUT|-]\n"
    "       velra-script save LOG (--csf FILE | --txt FILE) --book NAME --page NAME\n"
    "       velra-script --help | --version\n"
    "\n"
    "generate  reads the fourteen values of the settings log LOG and writes the script text\n"
    "          (CP932, as the script buffer holds it) to OUT, or to standard output.\n"
    "save      generates from LOG and saves the script into FILE as the wizard's save does:\n"
    "          --csf adds a book to a comic script file (with the header when the file is new\n"
    "          or empty), --txt to a text file.\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed (FILE or OUT untouched), 2 usage error.\n";

int usageError(const char *what)
{
    console::writeText(stderr, QStringLiteral("velra-script: %1\n%2").arg(QLatin1String(what), QLatin1String(kUsage)));
    return 2;
}

int failure(QString message)
{
    // The message's own line breaks join into one line; any other control character came from
    // the input and is shown escaped, so that it cannot act on the terminal.
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    message = escapeControls(message);
    console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(message));
    return 1;
}

bool generateFrom(const QString &log, QByteArray &script, QString *error)
{
    QList<LogValue> values;
    return settingslog::readFields(log, kFieldCount, values, error) && generateScript(values, script, nullptr, error);
}

int generate(const QStringList &args)
{
    QString log;
    QString out;
    bool haveOut = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o")) {
            if (++i >= args.size() || haveOut || args[i].isEmpty())
                return usageError("-o needs one file name (- for standard output)");
            out = args[i];
            haveOut = true;
        } else if (log.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            log = args[i];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (log.isEmpty())
        return usageError("generate needs the settings log");
    QByteArray script;
    QString error;
    if (!generateFrom(log, script, &error))
        return failure(error);
    if (!haveOut || out == QLatin1String("-")) {
        if (!console::writeBytes(stdout, script))
            return failure(QStringLiteral("標準出力に書き込めません。"));
        return 0;
    }
    const auto compose = [&script](QByteArrayView, output::Pieces &pieces) { pieces << script; };
    if (!output::write(out, compose, &error))
        return failure(QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(out)), error));
    return 0;
}

int save(const QStringList &args)
{
    QString log;
    QString target;
    QString book;
    QString page;
    bool haveBook = false;
    bool havePage = false;
    scriptfile::Route route = scriptfile::Route::Csf;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool takesValue = a == QLatin1String("--csf") || a == QLatin1String("--txt")
            || a == QLatin1String("--book") || a == QLatin1String("--page");
        if (takesValue) {
            if (++i >= args.size())
                return usageError("an option lacks its value");
            if (a == QLatin1String("--book")) {
                if (haveBook)
                    return usageError("--book given twice");
                book = args[i];
                haveBook = true;
            } else if (a == QLatin1String("--page")) {
                if (havePage)
                    return usageError("--page given twice");
                page = args[i];
                havePage = true;
            } else {
                if (!target.isEmpty())
                    return usageError("give exactly one of --csf and --txt");
                target = args[i];
                route = a == QLatin1String("--csf") ? scriptfile::Route::Csf : scriptfile::Route::Text;
            }
        } else if (log.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            log = a;
        } else {
            return usageError("unexpected argument");
        }
    }
    if (log.isEmpty() || target.isEmpty() || !haveBook || !havePage)
        return usageError("save needs LOG, --csf or --txt, --book and --page");
    QByteArray bookBytes;
    QByteArray pageBytes;
    QString error;
    if (!scriptfile::encodeName(book, QStringLiteral("ブック名"), bookBytes, &error)
        || !scriptfile::encodeName(page, QStringLiteral("ページ名"), pageBytes, &error))
        return failure(error);
    QByteArray script;
    if (!generateFrom(log, script, &error) || !scriptfile::save(target, route, bookBytes, pageBytes, script, &error))
        return failure(error);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
#ifdef SIGPIPE
    // A reader that goes away (a closed pipe) is a failed write, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError("no command");
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        console::writeText(stdout, QLatin1String(kUsage));
        return 0;
    }
    if (args[0] == QLatin1String("--version")) {
        console::writeText(stdout, QStringLiteral("velra-script (Velloran) %1\n").arg(QLatin1String(VELRA_VERSION)));
        return 0;
    }
    if (args[0] == QLatin1String("generate"))
        return generate(args.mid(1));
    if (args[0] == QLatin1String("save"))
        return save(args.mid(1));
    return usageError("unknown command");
}
