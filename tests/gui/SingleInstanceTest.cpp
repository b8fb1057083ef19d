// The real program started as the desktop starts it: files given as
// arguments, a second launch handing its files to the first, two launches at
// once. What each instance imported is read from the recent-files list it
// writes in the test's own data folder.
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <algorithm>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "platform/foundation/RecentlyUsedXbel.h"

namespace {

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir _home;
    std::vector<QProcess*> _launched;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), _home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), _home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), _home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), _home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QProcess* launch(const QStringList& arguments) {
        auto* process = new QProcess(this);
        process->setProcessEnvironment(environment());
        process->setWorkingDirectory(_home.path());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(PELLORA_BIN_DIR "/pellora"), arguments);
        _launched.push_back(process);
        return process;
    }

    std::vector<std::string> noted() const {
        return pellora::RecentlyUsedXbel(_home.filePath(QStringLiteral("data/recently-used.xbel")).toStdString(),
                                         "Pellora", "'pellora %u'")
            .recentFilePaths(100);
    }

    // Waits until the running instance has noted every one of the files.
    bool waitUntilNoted(const QStringList& names) const {
        return QTest::qWaitFor([&] {
            const std::vector<std::string> paths = noted();
            return std::all_of(names.begin(), names.end(), [&](const QString& name) {
                return std::find(paths.begin(), paths.end(), _home.filePath(name).toStdString()) != paths.end();
            });
        }, 30000);
    }

    static bool running(QProcess* process) { return process->state() != QProcess::NotRunning; }

private slots:
    void initTestCase() {
        QVERIFY(QDir(_home.path()).mkpath(QStringLiteral("run")));
        QVERIFY(QFile::setPermissions(_home.filePath(QStringLiteral("run")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
            pellora::guitest::writeJpeg(_home.filePath(QString::fromLatin1(name)), 8, 8);
        }
    }

    void cleanup() {
        for (QProcess* process : _launched) {
            if (running(process)) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
        _launched.clear();
    }

    void argumentsAreImportedLaterLaunchesHandTheirsOverAndMalformedRequestsAreRefused() {
        // Relative arguments are taken from the launch's working folder.
        QProcess* first = launch({QStringLiteral("a.jpg"), _home.filePath(QStringLiteral("b.jpg"))});
        QVERIFY(waitUntilNoted({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));

        // A length far beyond any launch's files: the instance hangs up without reading on.
        QLocalSocket socket;
        socket.connectToServer(_home.filePath(QStringLiteral("run/pellora-%1.socket").arg(::getuid())));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(QByteArray("\xFF\xFF\xFF\xFF/x.jpg", 10));
        socket.flush();
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(socket.bytesAvailable(), 0);

        // And serves on.
        QProcess* second = launch({QStringLiteral("c.jpg")});
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(waitUntilNoted({QStringLiteral("c.jpg")}));
        QVERIFY(running(first));
    }

    void twoLaunchesAtOnceLeaveOneInstance() {
        // A killed instance leaves its socket file behind; nobody answers on it.
        QFile::remove(_home.filePath(QStringLiteral("data/recently-used.xbel")));
        QProcess* crashed = launch({QStringLiteral("a.jpg")});
        QVERIFY(waitUntilNoted({QStringLiteral("a.jpg")}));
        QVERIFY(QFile::exists(_home.filePath(QStringLiteral("run/pellora-%1.socket").arg(::getuid()))));
        ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(5000));

        QProcess* one = launch({QStringLiteral("d.jpg")});
        QProcess* other = launch({QStringLiteral("e.jpg")});
        QVERIFY(waitUntilNoted({QStringLiteral("d.jpg"), QStringLiteral("e.jpg")}));
        // The one that handed its files over has ended with success; the other runs on.
        QTRY_VERIFY_WITH_TIMEOUT(running(one) != running(other), 30000);
        QProcess* forwarded = running(one) ? other : one;
        QCOMPARE(forwarded->exitStatus(), QProcess::NormalExit);
        QCOMPARE(forwarded->exitCode(), 0);
        QTest::qWait(500);
        QVERIFY(running(one) != running(other));
    }
};

} // namespace

PELLORA_GUI_TEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
