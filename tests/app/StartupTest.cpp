#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <vector>

#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "app/AppSettings.h"
#include "app/CommandLine.h"
#include "app/QSettingsStore.h"
#include "app/SettingsFileCheck.h"
#include "app/SettingsOpener.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/InstanceLock.h"
#include "platform/MemorySettingsStore.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FreshFolders.h"

namespace corvane {
namespace {

// The settings store on a fresh folder for the life of the object, with its file at hand.
class ConfigFolder {
  public:
    QString file() const { return QString::fromStdString(folders_.settingsFile()); }
    void write(const QByteArray& text) const {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QStringList entries() const {
        return QDir(QString::fromStdString(folders_.config())).entryList(QDir::Files, QDir::Name);
    }

  private:
    test::FreshFolders folders_;
};

TEST(AppSettings, EveryOptionStartsAtItsDefaultWithAnEmptySettingsFile) {
    ConfigFolder folder;
    QSettingsStore store;
    AppSettings app(store, "/opt/corvane");
    EXPECT_EQ(app.debugPortEnabled().value(), 0);
    EXPECT_EQ(app.autoUpdate().value(), 1);
    EXPECT_EQ(app.lastUpdate().value(), 0);
    EXPECT_EQ(app.kestrixLinkIdType().value(), 0);
    EXPECT_EQ(app.moduleFolder().value(), "/opt/corvane");
    EXPECT_EQ(app.quickScriptFileName().value(), "QuickScript.scp");
    EXPECT_EQ(app.kestrixLinkUserName().value(), "");
    EXPECT_EQ(app.kestrixLinkId().value(), "");

    // The options other parts own start at the same defaults as the table says.
    test::FakeClock clock;
    DeviceTable table(clock);
    RVCManager manager(store, table);
    TransmitPath transmit(manager);
    AdapterSettings adapter(store);
    Conduit conduit(store, transmit);
    struct Owned {
        const char* name;
        int32_t value;
    };
    const Owned owned[] = {
        {"AdapterType", adapter.adapterType().value()},
        {"TarvikBaudRate", adapter.dataRate().value()},
        {"TarvikAutoStart", adapter.autoStart().value()},
        {"EchoTransmits", conduit.echoTransmits() ? 1 : 0},
        {"ShowPhantoms", manager.showPhantoms() ? 1 : 0},
        {"SupportLegacyDM1", manager.supportLegacyDM1() ? 1 : 0},
    };
    for (const auto& o : owned) {
        const AppSettings::Option* option = AppSettings::find(o.name);
        ASSERT_NE(option, nullptr) << o.name;
        EXPECT_EQ(o.value, option->integerDefault) << o.name;
        EXPECT_EQ(app.storedInteger(o.name), option->integerDefault) << o.name;
    }
    EXPECT_EQ(AppSettings::table().size(), 14u);
    // Reading defaults wrote nothing.
    EXPECT_FALSE(QFile::exists(folder.file()));
}

TEST(AppSettings, QuickScriptFileNameIsReadUpTo254Characters) {
    struct Case {
        size_t length;
        bool readBack;
    };
    const Case cases[] = {{1, true}, {254, true}, {255, false}, {400, false}};
    for (const auto& c : cases) {
        ConfigFolder folder;
        const std::string name(c.length, 'q');
        {
            QSettingsStore raw;
            ASSERT_TRUE(raw.writeString("Corvane", "QuickScriptFileName", name));
        }
        QSettingsStore store;
        AppSettings app(store, "");
        EXPECT_EQ(app.quickScriptFileName().value(), c.readBack ? name : "QuickScript.scp")
            << c.length;
    }
}

TEST(AppSettings, ATextTooLongToReadBackIsKeptForThisRunButNotStored) {
    MemorySettingsStore store;
    AppSettings app(store, "");
    app.quickScriptFileName().set("short.scp");
    const std::string longName(300, 'x');
    app.quickScriptFileName().set(longName);
    EXPECT_EQ(app.quickScriptFileName().value(), longName);
    EXPECT_EQ(store.readString("Corvane", "QuickScriptFileName"), "short.scp");
}

TEST(SettingsFileCheck, DecidesWhatCannotBeParsed) {
    struct Case {
        std::string text;
        bool wellFormed;
    };
    const Case cases[] = {
        {"", true},
        {"[Corvane]\nShowPhantoms=1\n", true},
        {"[Corvane]\r\nShowPhantoms=1\r\n\r\n[66]\r\nCX=800\r\n", true},
        {"; comment\n# another\n  [General]  \nkey = value with = sign\n", true},
        {"[Corvane]\nQuickScriptFileName=a \\\n  continued\n", true},
        {"[Corvane]\nShowPhantoms\n", false},
        {"[Corvane\nShowPhantoms=1\n", false},
        {"=1\n", false},
        {"[]\n", false},
        {std::string("[Corvane]\nA=1\n\0\n", 16), false},
        {"\x89PNG\r\n\x1a\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFileCheck::isWellFormed(c.text), c.wellFormed) << c.text;
}

TEST(SettingsOpener, ABrokenFileIsSetAsideAndDefaultsAreUsed) {
    test::ensureApplication();
    ConfigFolder folder;
    const QByteArray broken = "[Corvane]\nShowPhantoms=1\ngarbage line\n";
    folder.write(broken);
    {
        SettingsOpener::Result opened = SettingsOpener::open();
        ASSERT_NE(opened.store, nullptr);
        EXPECT_FALSE(opened.inMemoryOnly);
        EXPECT_EQ(QString::fromStdString(opened.setAsideAs), folder.file() + ".bad");
        EXPECT_FALSE(opened.store->readInteger("Corvane", "ShowPhantoms"));
        opened.store->writeInteger("Corvane", "ShowPhantoms", 0);
    }
    QFile kept(folder.file() + ".bad");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), broken);

    // A second broken file does not replace the first one kept aside.
    folder.write(broken);
    SettingsOpener::Result again = SettingsOpener::open();
    EXPECT_EQ(QString::fromStdString(again.setAsideAs), folder.file() + ".bad.2");
    EXPECT_EQ(folder.entries(), (QStringList{"Corvane.ini.bad", "Corvane.ini.bad.2"}));
}

TEST(SettingsOpener, AGoodFileIsUsedAsItIs) {
    test::ensureApplication();
    ConfigFolder folder;
    folder.write("[Corvane]\nShowPhantoms=1\n");
    SettingsOpener::Result opened = SettingsOpener::open();
    EXPECT_TRUE(opened.setAsideAs.empty());
    EXPECT_EQ(opened.store->readInteger("Corvane", "ShowPhantoms"), 1);
    EXPECT_EQ(folder.entries(), QStringList{"Corvane.ini"});
}

TEST(CommandLine, NoUpdatesInAnyCaseAnywhere) {
    const std::vector<std::vector<std::string>> lines = {
        {"corvane", "-NOUPDATES"},
        {"corvane", "--demo", "-noupdates"},
        {"corvane", "-NoUpDaTeS", "--headless"},
        {"corvane", "--headless", "--demo", "-nOuPdAtEs"},
    };
    for (const auto& args : lines) EXPECT_TRUE(parseCommandLine(args).noUpdates);
    EXPECT_FALSE(parseCommandLine({"corvane", "--demo", "-UPDATES"}).noUpdates);
}

TEST(InstanceLock, OnlyOneHolderUntilItEnds) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/corvane.lock";
    {
        auto first = InstanceLock::acquireAt(path);
        ASSERT_TRUE(first.has_value());
        EXPECT_FALSE(InstanceLock::acquireAt(path).has_value());
        InstanceLock moved = std::move(*first);
        EXPECT_FALSE(InstanceLock::acquireAt(path).has_value());
    }
    EXPECT_TRUE(InstanceLock::acquireAt(path).has_value());
}

// Run as a child of the test below: tries the lock named by the environment and says how it went.
TEST(InstanceLockProbe, TriesTheLockOnce) {
    const char* path = std::getenv("CORVANE_LOCK_PROBE");
    if (!path) GTEST_SKIP() << "only run as the child of SecondProcessEndsWithoutTheLock";
    std::printf(InstanceLock::acquireAt(path) ? "PROBE:taken\n" : "PROBE:busy\n");
}

TEST(InstanceLock, ASecondProcessCannotTakeItWhileTheFirstRuns) {
    test::ensureApplication();
    QTemporaryDir dir;
    const QString path = dir.path() + "/corvane.lock";
    auto probe = [&] {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANE_LOCK_PROBE", path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=InstanceLockProbe.TriesTheLockOnce"});
        EXPECT_TRUE(child.waitForFinished(30000));
        const QString out = child.readAllStandardOutput();
        return out.contains("PROBE:taken")  ? std::string("taken")
               : out.contains("PROBE:busy") ? std::string("busy")
                                            : std::string("?");
    };
    {
        auto held = InstanceLock::acquireAt(path.toStdString());
        ASSERT_TRUE(held.has_value());
        EXPECT_EQ(probe(), "busy");
    }
    EXPECT_EQ(probe(), "taken");
}

TEST(InstanceLock, AcquireUsesTheRuntimeFolder) {
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());
    {
        auto first = InstanceLock::acquire();
        ASSERT_TRUE(first.has_value());
        EXPECT_TRUE(QFile::exists(QString::fromStdString(folders.runtime() + "/corvane.lock")));
        EXPECT_FALSE(InstanceLock::acquire().has_value());
    }
    EXPECT_TRUE(InstanceLock::acquire().has_value());
}

// The real program on a runtime folder other users could tamper with: it ends at once with an
// error naming the folder and what is wrong with it. A copy already running is told apart.
TEST(StartupRuntimeFolder, ARefusedFolderEndsTheStartWithAReason) {
    QTemporaryDir dir;
    const QString base = dir.path();
    QDir().mkdir(base + "/open");
    ASSERT_EQ(chmod((base + "/open").toLocal8Bit().constData(), 0777), 0);
    QDir().mkdir(base + "/private");
    ASSERT_EQ(chmod((base + "/private").toLocal8Bit().constData(), 0700), 0);
    QFile::link(base + "/private", base + "/link");
    auto held = InstanceLock::acquireAt((base + "/private/corvane.lock").toStdString());
    ASSERT_TRUE(held.has_value());
    const bool root = geteuid() == 0;
    if (root) {
        QDir().mkdir(base + "/foreign");
        ASSERT_EQ(chown((base + "/foreign").toLocal8Bit().constData(), 65534, 65534), 0);
    }

    struct Case {
        QString folder;
        int exitCode;
        QString says;
    };
    std::vector<Case> cases = {
        {base + "/open", 1, "is writable by other users"},
        {base + "/link", 1, "is a symbolic link"},
        {base + "/private", 0, "another copy is already running"},
    };
    if (root) cases.push_back({base + "/foreign", 1, "belongs to another user (uid 65534)"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANE_RUNTIME_DIR", c.folder);
        env.insert("CORVANE_CONFIG_DIR", base + "/config");
        program.setProcessEnvironment(env);
        program.start(CORVANE_PROGRAM, {"--headless", "-NOUPDATES"});
        const bool ended = program.waitForFinished(30000);
        if (!ended) program.kill();
        ASSERT_TRUE(ended) << "the program went on running";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.exitCode);
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_TRUE(errors.contains(c.folder)) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.says)) << errors.toStdString();
    }
}

}  // namespace
}  // namespace corvane
