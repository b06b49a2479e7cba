#include "TestSupport.h"
#include "handoff/LastRun.h"
#include "script/ScriptFile.h"

#include "platform/FileSystem.h"
#include "io/OutputFile.h"

#include "text/Cp932.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cerrno>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace velra;
using namespace velra::test;
using scriptfile::Route;

namespace {

const QByteArray kScript = "Graphic \"b\"\r\nGraphic \"s\"";
const QByteArray kHeader = "/// Fablescope for Win95\r\n"
                           "/// Comic Script File (Command Version 16)\r\n"
                           "<Head=\"Comic\">\r\n"
                           "FileType = FBS95\r\n"
                           "CmdVer = 16\r\n"
                           "MciMusic = Sequencer\r\n"
                           "MciSound = WaveAudio\r\n"
                           "SelectChange= 1\r\n"
                           "ShowKeyWaitChar = 1\r\n"
                           "<Head End>\r\n";
const QByteArray kBook = "<Book=\"A\">\r\n<Page=\"P\">\r\nGraphic \"b\"\r\nGraphic \"s\"\r\n<Page End>\r\n<Book End>\r\n";

// What a save writes: the pieces joined.
QByteArray composed(Route route, QByteArrayView existing, QByteArrayView book, QByteArrayView page, QByteArrayView script)
{
    output::Pieces pieces;
    scriptfile::composePieces(route, existing, book, page, script, pieces);
    QByteArray bytes;
    for (const QByteArrayView piece : pieces)
        bytes += piece;
    return bytes;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class TestScriptFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString target(const char *name = "out.csf") const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    // A reason the program knows is said once, in its words; an unknown one keeps the system's.
    void systemReasons_saidOnce()
    {
#ifdef Q_OS_WIN
        const int denied = ERROR_ACCESS_DENIED;
        const int unknown = ERROR_BAD_NETPATH;
#else
        const int denied = EACCES;
        const int unknown = EXDEV;
#endif
        QCOMPARE(output::systemReason(denied), QStringLiteral("アクセスが許可されていません。"));
        QVERIFY2(output::systemReason(unknown).startsWith(QStringLiteral("ファイル操作に失敗しました（")),
                 qPrintable(output::systemReason(unknown)));
    }

    // The example scripts of the README and the manual are what the engine writes for the settings
    // they describe: a 100 x 50 picture moving left across 640 x 480, 10 dots a step, 移動回数 2.
    void documentedExamples_areWhatTheEngineWrites()
    {
        const QByteArray script = scriptOf(simpleRun());
        QString expected;
        QVERIFY(cp932::decode(composed(Route::Csf, {}, sjis(QStringLiteral("第一巻")), sjis(QStringLiteral("オープニング")), script), expected));
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        for (const char *doc : {"README.md", "docs/manual.md"}) {
            QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../") + QString::fromLatin1(doc));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            const qsizetype start = text.indexOf(QStringLiteral("```\n/// Fablescope"));
            QVERIFY2(start >= 0, doc);
            const qsizetype end = text.indexOf(QStringLiteral("```"), start + 4);
            QCOMPARE(text.mid(start + 4, end - start - 4), expected);
        }
    }

    void init()
    {
        for (const QString &f : filesIn(m_dir.path())) {
            QFile::setPermissions(m_dir.filePath(f), QFile::ReadOwner | QFile::WriteOwner);
            QFile::remove(m_dir.filePath(f));
        }
    }

    void composition_byRouteAndExistingContent_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("csf, new") << int(Route::Csf) << QByteArray() << kHeader + kBook;
        QTest::newRow("text, new") << int(Route::Text) << QByteArray() << kBook;
        QTest::newRow("csf, existing with line end") << int(Route::Csf) << QByteArray("old\r\n") << "old\r\n\r\n" + kBook;
        QTest::newRow("csf, existing without line end") << int(Route::Csf) << QByteArray("old") << "old\r\n" + kBook;
        QTest::newRow("text, just a line break") << int(Route::Text) << QByteArray("\r\n") << "\r\n\r\n" + kBook;
        QTest::newRow("csf, just a line break: no header") << int(Route::Csf) << QByteArray("\n") << "\n\r\n" + kBook;
    }

    void composition_byRouteAndExistingContent()
    {
        QFETCH(int, route);
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, expected);
        QCOMPARE(composed(Route(route), existing, "A", "P", kScript), expected);
    }

    void save_newAndZeroByteFiles_getTheHeader()
    {
        QString error;
        QVERIFY2(scriptfile::save(target(), Route::Csf, "A", "P", kScript, &error), qPrintable(error));
        QCOMPARE(readAll(target()), kHeader + kBook);
        QVERIFY(writeAll(target("empty.csf"), QByteArray()));
        QVERIFY(scriptfile::save(target("empty.csf"), Route::Csf, "A", "P", kScript, &error));
        QCOMPARE(readAll(target("empty.csf")), kHeader + kBook);
        // The route ignores the name: a text save into a comic script file adds a book only.
        QVERIFY(scriptfile::save(target("plain"), Route::Text, "A", "P", kScript, &error));
        QCOMPARE(readAll(target("plain")), kBook);
    }

    void laterSave_keepsEarlierContent_andWritesNoSecondHeader()
    {
        QVERIFY(scriptfile::save(target(), Route::Csf, "A", "P", kScript, nullptr));
        const QByteArray first = readAll(target());
        QVERIFY(scriptfile::save(target(), Route::Csf, "B", "Q", "x", nullptr));
        QCOMPARE(readAll(target()), first + "\r\n<Book=\"B\">\r\n<Page=\"Q\">\r\nx\r\n<Page End>\r\n<Book End>\r\n");
        QCOMPARE(readAll(target()).count("<Head=\"Comic\">"), 1);
    }

    void existingBytesThatAreNotCp932_surviveUnchanged()
    {
        const QByteArray odd("\x82\x20\xFF\x80 broken\x81", 12);
        QVERIFY(writeAll(target(), odd));
        QVERIFY(scriptfile::save(target(), Route::Csf, "A", "P", kScript, nullptr));
        QCOMPARE(readAll(target()), odd + "\r\n" + kBook);
    }

#ifdef Q_OS_UNIX
    // Writes that overlap (an export on its thread, a save) each keep their own temporary in the
    // cleanup: one given back, even twice, never disarms another's, and a termination then removes
    // what is still being written and ends the program, at once.
    void overlappingWrites_interruptRemovesTheirTemporaries_andEnds()
    {
        const QStringList temporaries{m_dir.filePath(QStringLiteral(".a.tmp")), m_dir.filePath(QStringLiteral(".b.tmp"))};
        QVERIFY(writeAll(temporaries[0], "part") && writeAll(temporaries[1], "part"));
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(5); // a handler that loops dies of this instead
            platform::removeOnInterrupt(temporaries[0]);
            const int renamed = platform::removeOnInterrupt(temporaries[1]);
            platform::keepOnInterrupt(renamed), platform::keepOnInterrupt(renamed); // given back twice
            ::raise(SIGTERM), ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, qPrintable(QString::number(status)));
        QVERIFY(!QFile::exists(temporaries[0]) && QFile::exists(temporaries[1])); // the one given back had been renamed
    }

    void diskFullPartWay_leavesOriginal_andNoTemporaryFile()
    {
        // A file size limit makes the real write fail after a few kilobytes, as a full disk would.
        const QByteArray original = "<Book=\"old\">\r\n" + QByteArray(3000, 'o');
        QVERIFY(writeAll(target(), original));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool saved = scriptfile::save(target(), Route::Csf, "A", "P", QByteArray(100000, 's'), &error);
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!saved);
        QVERIFY2(error.contains(QDir::toNativeSeparators(target())), qPrintable(error));
        QCOMPARE(readAll(target()), original);
        QCOMPARE(filesIn(m_dir.path()), QStringList{QStringLiteral("out.csf")});
    }

    // A folder that takes the new file but lets nothing go since (made read-only during the save; here
    // append-only, which binds root too): the save fails, the file stays, the temporary left is named.
    void folderThatLetsNothingGo_namesTheTemporaryLeft()
    {
        QVERIFY(writeAll(target(), "keep"));
        const int folder = ::open(QFile::encodeName(m_dir.path()).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0; // kept but for the one flag: ext4 refuses to drop some
        const auto allow = qScopeGuard([&] { flags &= ~FS_APPEND_FL, ::ioctl(folder, FS_IOC_SETFLAGS, &flags), ::close(folder); });
        if (::ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0 || (flags |= FS_APPEND_FL, ::ioctl(folder, FS_IOC_SETFLAGS, &flags) != 0))
            QSKIP("no append-only folders here (needs root, and ext4 or tmpfs)");
        QString error;
        QVERIFY(!scriptfile::save(target(), Route::Csf, "A", "P", kScript, &error));
        QCOMPARE(readAll(target()), QByteArray("keep"));
        const QString left = m_dir.filePath(output::temporaryName(QStringLiteral("out.csf")));
        QVERIFY2(QFile::exists(left) && error.endsWith(QStringLiteral("書きかけの一時ファイル「%1」を削除できませんでした。不要なら削除してください。").arg(left)), qPrintable(error));
    }
#endif

#ifdef Q_OS_UNIX
    // A folder of the path swapped for another user's link to the author's files after the path was
    // checked (here: once the lock is held) does not move the save: it goes into the folder checked.
    void folderSwappedForALink_afterTheCheck_writesWhereChecked()
    {
        if (::geteuid() != 0)
            QSKIP("making a link another user's needs root");
        const QString common = m_dir.filePath(QStringLiteral("common"));
        const QString work = m_dir.filePath(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(common + QStringLiteral("/d")) && QDir().mkpath(work));
        QVERIFY(QFile::setPermissions(common, QFileDevice::Permissions(0x7777))); // rwx for all (the sticky bit aside)
        QVERIFY(writeAll(work + QStringLiteral("/out.csf"), "the author's"));
        auto restore = qScopeGuard([] { platform::testing::setPathCheck(nullptr); });
        platform::testing::setPathCheck([&](const QString &) {
            if (!QFileInfo(common + QStringLiteral("/d")).isSymLink()) {
                QDir().rename(common + QStringLiteral("/d"), common + QStringLiteral("/checked"));
                QFile::link(work, common + QStringLiteral("/d"));
                (void)::lchown(QFile::encodeName(common + QStringLiteral("/d")).constData(), 4242, 4242);
            }
            return true;
        });
        QString error;
        QVERIFY2(scriptfile::save(common + QStringLiteral("/d/out.csf"), Route::Text, "A", "P", kScript, &error), qPrintable(error));
        QCOMPARE(readAll(work + QStringLiteral("/out.csf")), QByteArray("the author's"));
        QCOMPARE(readAll(common + QStringLiteral("/checked/out.csf")), kBook);
        QCOMPARE(filesIn(work), QStringList{QStringLiteral("out.csf")});
    }
#endif

#ifdef Q_OS_WIN
    // Windows judges links by the same rule, from the owners and access lists the system keeps
    // (told here through the seam: Wine makes no links): a link in a folder others may write into is
    // followed only when it is the author's or the system's, in the middle of a path as at its end;
    // the folder's owner is no better than any other user. A refused save writes nothing.
    void windowsLinks_judgedByTheRule_data()
    {
        QTest::addColumn<QString>("link"); // which part is a link: "d" (a folder) or "out.csf"
        QTest::addColumn<bool>("mine");
        QTest::addColumn<bool>("folderOpen");
        QTest::addColumn<bool>("bySystem");
        QTest::addColumn<QString>("refusal");
        const QString middle = QStringLiteral("途中のフォルダー「%1」がほかのユーザーが作ったリンクのため、たどりません。");
        QTest::newRow("folder link, another user's, open folder") << "d" << false << true << false << middle;
        QTest::newRow("folder link, the author's") << "d" << true << true << false << QString();
        QTest::newRow("folder link, the system's") << "d" << false << true << true << QString();
        QTest::newRow("folder link, a closed folder") << "d" << false << false << false << QString();
        QTest::newRow("file link, another user's, open folder") << "out.csf" << false << true << false
                                                               << QStringLiteral("ほかのユーザーが作ったリンクのため、たどりません。");
    }
    void windowsLinks_judgedByTheRule()
    {
        QFETCH(QString, link);
        QFETCH(bool, mine);
        QFETCH(bool, folderOpen);
        QFETCH(bool, bySystem);
        QFETCH(QString, refusal);
        const QString folder = m_dir.filePath(QStringLiteral("d"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/out.csf");
        QFile::remove(file);
        auto restore = qScopeGuard([] { platform::testing::setLinkFacts(nullptr); });
        platform::testing::setLinkFacts([&](const QString &part) {
            platform::LinkFacts facts;
            facts.isLink = QDir::fromNativeSeparators(part).endsWith(QLatin1Char('/') + link);
            facts.mine = mine;
            facts.folderOpen = folderOpen;
            facts.bySystem = bySystem;
            return facts;
        });
        QString error;
        const bool saved = scriptfile::save(file, Route::Text, "A", "P", kScript, &error);
        QCOMPARE(saved, refusal.isEmpty());
        if (!saved) {
            QVERIFY2(error.contains(refusal.contains(QLatin1String("%1")) ? refusal.arg(QDir::toNativeSeparators(folder)) : refusal),
                     qPrintable(error));
            QVERIFY(!QFile::exists(file));
        }
    }
#endif

    // The lock is held but the file opened is not (or no longer) the one at the name: another save
    // replaced it, or (Windows) the name is a link that the open did not follow. Every turn of the
    // loop waits and counts against the patience; one that moves on is saved.
    void lockedButNotAtTheName_isBounded()
    {
        QVERIFY(writeAll(target(), "keep"));
        auto restore = qScopeGuard([] { platform::testing::setPathCheck(nullptr); });
        int checks = 0;
        platform::testing::setPathCheck([&checks](const QString &) { return ++checks > 3; });
        QVERIFY(output::write(target(), [](QByteArrayView old, output::Pieces &p) { p << old << "+"; }, nullptr));
        QCOMPARE(readAll(target()), QByteArray("keep+"));

        checks = 0;
        platform::testing::setPathCheck([&checks](const QString &) { ++checks; return false; });
        output::Options patient;
        patient.lockPatienceMs = 300;
        QElapsedTimer took;
        took.start();
        QString reason;
        QVERIFY(!output::write(target(), [](QByteArrayView, output::Pieces &p) { p << "lost"; }, &reason, patient));
        QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
        QVERIFY2(checks < 100, qPrintable(QString::number(checks))); // paused between turns, no spin
        QCOMPARE(reason, QStringLiteral("ほかのプログラムが使用中です。そのプログラムを閉じてから、もう一度保存してください。"));
        QCOMPARE(readAll(target()), QByteArray("keep+"));
        QCOMPARE(filesIn(m_dir.path()).size(), 1);

        // Another program's lock that nobody lets go of: refused after the patience, untouched.
        platform::testing::setPathCheck(nullptr);
        HeldLock held(target());
        QVERIFY(held.isHeld());
        reason.clear();
        QVERIFY(!output::write(target(), [](QByteArrayView, output::Pieces &p) { p << "lost"; }, &reason, patient));
        QCOMPARE(reason, QStringLiteral("ほかのプログラムが使用中です。そのプログラムを閉じてから、もう一度保存してください。"));
        QCOMPARE(readAll(target()), QByteArray("keep+"));
    }

    // A file replaced whole is not read first (the companion's generate -o): the compose sees no
    // old content, and the file holds the new.
    void replacedWhole_isNotRead()
    {
        QVERIFY(writeAll(target(), QByteArray(100000, 'o')));
        output::Options whole;
        whole.readsExisting = false;
        qsizetype seen = -1;
        QVERIFY(output::write(target(), [&seen](QByteArrayView old, output::Pieces &p) { seen = old.size(); p << "new"; }, nullptr, whole));
        QCOMPARE(seen, 0);
        QCOMPARE(readAll(target()), QByteArray("new"));
    }

    void readOnlyTarget_isRefused_andUntouched()
    {
        QVERIFY(writeAll(target(), "keep"));
        QVERIFY(QFile::setPermissions(target(), QFile::ReadOwner | QFile::ReadUser));
        QString error;
        QVERIFY(!scriptfile::save(target(), Route::Csf, "A", "P", kScript, &error));
        QVERIFY(error.contains(QStringLiteral("読み取り専用")));
        QCOMPARE(readAll(target()), QByteArray("keep"));
        QCOMPARE(filesIn(m_dir.path()).size(), 1);
    }

    void unwritableFolder_isReported()
    {
        QString error;
        QVERIFY(!scriptfile::save(m_dir.filePath(QStringLiteral("missing/out.csf")), Route::Csf, "A", "P", kScript, &error));
        QVERIFY(error.contains(QStringLiteral("missing")));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.csf")));
        QVERIFY(!scriptfile::save(target("folder.csf"), Route::Csf, "A", "P", kScript, &error));
        QVERIFY(error.contains(QStringLiteral("フォルダー")));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("folder.csf")));
    }

    // A name that came from bytes that are not text (a file dialog shows them as U+FFFD) would be
    // written under another name: refused, nothing written.
    void namesThatWereNotText_areRefused()
    {
        QString error;
        const QString odd = m_dir.filePath(QStringLiteral("a") + QChar(QChar::ReplacementCharacter) + QStringLiteral(".csf"));
        QVERIFY(!scriptfile::save(odd, Route::Csf, "A", "P", kScript, &error));
        QVERIFY2(error.contains(QStringLiteral("文字として読めない")), qPrintable(error));
        QCOMPARE(filesIn(m_dir.path()).size(), 0);
    }

    void replacement_keepsWhatTheAuthorSet()
    {
        QVERIFY(writeAll(target(), "x"));
#ifdef Q_OS_WIN
        const std::wstring name = QDir::toNativeSeparators(target()).toStdWString();
        QVERIFY(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
        QVERIFY(scriptfile::save(target(), Route::Text, "A", "P", kScript, nullptr));
        QCOMPARE(GetFileAttributesW(name.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_HIDDEN));
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(target(), perms));
        QVERIFY(scriptfile::save(target(), Route::Text, "A", "P", kScript, nullptr));
        QCOMPARE(QFile::permissions(target()), perms);
#endif
        QCOMPARE(readAll(target()), "x\r\n" + kBook);
    }

    void names_areCheckedBeforeWriting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("bytes"); // refused: the message's first line
        QTest::newRow("japanese") << QStringLiteral("第①話～") << true << QByteArray("\x91\xE6\x87\x40\x98\x62\x81\x60");
        QTest::newRow("emoji") << QStringLiteral("本😀") << false << QByteArray();
        // What input methods outside Windows type, written as Windows writes them.
        QTest::newRow("typed outside Windows") << QStringLiteral("〜−—‖¢£¬") << true
                                               << QByteArray("\x81\x60\x81\x7C\x81\x5C\x81\x61\x81\x91\x81\x92\x81\xCA");
        // What would break the host's <Book="..."> line, or name no book.
        QTest::newRow("double quote") << QStringLiteral("X\"><Page=\"evil") << false
                                      << QStringLiteral("保存ブック名の 2 文字目に二重引用符（\"）が含まれています。").toUtf8();
        QTest::newRow("line feed") << QStringLiteral("a\nb") << false << QStringLiteral("保存ブック名の 2 文字目に改行（U+000A）が含まれています。").toUtf8();
        QTest::newRow("tab") << QStringLiteral("a\tb") << false << QStringLiteral("保存ブック名の 2 文字目にタブ（U+0009）が含まれています。").toUtf8();
        QTest::newRow("empty") << QString() << false << QStringLiteral("保存ブック名が空です。").toUtf8();
        QTest::newRow("spaces") << QStringLiteral(" 　 ") << false << QStringLiteral("保存ブック名が空白だけです。").toUtf8();
    }

    void names_areCheckedBeforeWriting()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, bytes);
        QByteArray encoded;
        QString error;
        QCOMPARE(scriptfile::encodeName(name, QStringLiteral("保存ブック名"), encoded, &error), accepted);
        if (accepted)
            QCOMPARE(encoded, bytes);
        else
            QVERIFY2(error.startsWith(bytes.isEmpty() ? QStringLiteral("保存ブック名") : QString::fromUtf8(bytes) + QStringLiteral("\r\n")), qPrintable(error));
    }

    // One book name, one book: CP932's two codes of ∵ are one name; CR-only line ends are lines.
    void holdsBook_comparesText_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("book");
        QTest::addColumn<bool>("held");
        QTest::newRow("the same bytes") << QByteArray("<Book=\"B\">\r\n") << QByteArray("B") << true;
        QTest::newRow("the twin code of ∵") << QByteArray("<Book=\"\x87\x9A\">\r\n") << QByteArray("\x81\xE6") << true;
        QTest::newRow("CR-only lines") << QByteArray("x\r<Book=\"B\">\r<Page=\"P\">\r") << QByteArray("B") << true;
        QTest::newRow("LF-only lines") << QByteArray("x\n<Book=\"B\">\n") << QByteArray("B") << true;
        QTest::newRow("another book") << QByteArray("<Book=\"BB\">\r\n") << QByteArray("B") << false;
        QTest::newRow("inside a line") << QByteArray("; <Book=\"B\">\r\n") << QByteArray("B") << false;
    }
    void holdsBook_comparesText()
    {
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, book);
        QFETCH(bool, held);
        QCOMPARE(scriptfile::holdsBook(existing, book), held);
    }

    // A script is never added to a settings file or a settings log picked by mistake, nor to a script
    // an editor saved in another encoding; each stays as it was.
    void save_neverIntoSettings_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QString>("expected");
        lastrun::Settings settings;
        settings.log = "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";
        QTest::newRow("a settings file") << lastrun::encode(settings, true)
                                         << QStringLiteral("「%1」は Velloran の設定ファイルです。スクリプトを追加すると壊れるため、保存しません。");
        QTest::newRow("a settings log") << settings.log << QStringLiteral("「%1」は設定ログです。スクリプトを追加すると壊れるため、保存しません。");
        const QString otherEncoding = QStringLiteral("「%1」は CP932（Shift_JIS）ではない文字コード（UTF-8 など）で保存されています。");
        const QByteArray book = QStringLiteral("<Book=\"第一巻「春」\">\r\n<Book End>\r\n").toUtf8();
        QTest::newRow("saved by an editor as UTF-8 with its mark") << "\xEF\xBB\xBF" + book << otherEncoding;
        QTest::newRow("saved as UTF-8 without a mark") << book << otherEncoding;
        QTest::newRow("saved as UTF-16") << QByteArray("\xFF\xFE<\0B\0", 6) << otherEncoding;
    }
    void save_neverIntoSettings()
    {
        QFETCH(QByteArray, existing);
        QFETCH(QString, expected);
        for (const Route route : {Route::Csf, Route::Text}) {
            QVERIFY(writeAll(target(), existing));
            QString error;
            QVERIFY(!scriptfile::save(target(), route, "B", "P", kScript, &error));
            QVERIFY2(error.startsWith(expected.arg(QFileInfo(target()).fileName())), qPrintable(error));
            QCOMPARE(readAll(target()), existing);
        }
    }
};

QTEST_GUILESS_MAIN(TestScriptFile)
#include "tst_scriptfile.moc"
