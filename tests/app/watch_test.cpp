// Alarms and the readings log over the real main window and the substitute
// driver's blocks: bounds, counts, colours, the title mark, commands and
// their confirmation, and the log's files.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/alarms.h"
#include "app/command.h"
#include "app/seams.h"
#include "app/watch.h"
#include "display/commands.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "support/display_fixture.h"
#include "support/othermonitor.h"
#include "sensors/cf718x.h"

namespace {

std::vector<std::string> started;
int sounds = 0;

std::string startedProgram;

bool RecordStart(const char* program, char* commandLine, const char*, const char*)
{
    startedProgram = program;
    started.push_back(commandLine);
    return true;
}

bool FailStart(const char*, char*, const char*, const char*)
{
    return false;
}

ULONGLONG fakeTick = 1;
ULONGLONG WINAPI FakeTick()
{
    return fakeTick;
}

void RecordSound(UINT)
{
    ++sounds;
}

// A program every Windows has, named bare: found in the system folder.
const char kCommand[] = "cmd.exe %L %V";

// The command as it runs once confirmed: its program as an absolute path.
std::string Resolved(const char* command)
{
    return ResolveCommand(command, App().settingsPath);
}

void ForgetCommands()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veskora\\Commands");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veskora\\Logs");
}

class WatchTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        started.clear();
        sounds = 0;
        ForgetCommands();
        SetWatchCalls(WatchCalls{RecordStart, RecordSound});
        App().alarm.enable = 1;
        App().alarm.count = 2;
        App().alarm.repeat = 0;
    }
    void TearDown() override
    {
        SetWatchCalls({});
        ForgetCommands();
        DisplayTest::TearDown();
    }
    void Read(const SensorBlock& block, int times = 1)
    {
        scenario.SetBlock(block);
        for (int i = 0; i < times; ++i)
            ReadNow();
    }
    static SensorBlock Hot()
    {
        SensorBlock b = KnownBlock();
        b.temp[0] = 60;
        return b;
    }
    // Whether the alarm colour lies anywhere in the row's value rectangle.
    bool AlarmPixels(int row) const
    {
        RECT r = {};
        GetControlRect(window, ValueId(row), &r);
        HDC dc = App().skinState.backBuffer.dc.Get();
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (GetPixel(dc, x, y) == App().alarm.colour)
                    return true;
        return false;
    }
};

TEST_F(WatchTest, ATemperatureOverItsBoundAlarmsAfterCountReadingsAndEndsBackInRange)
{
    App().alarm.tempMax[0] = {1, 50};
    App().alarm.beep = 1;
    lstrcpynA(App().alarm.command, kCommand, kPathSize);
    ASSERT_TRUE(ConfirmCommand(App().alarm.command));
    EXPECT_EQ(Resolved(kCommand), App().alarm.command);
    App().debug = 1;
    lstrcpynA(App().labels.temp[0], "C\"P\\", kTextSize);  // a quote inside, a backslash at the end
    ASSERT_TRUE(Open());
    Read(Hot());  // one reading over: a spike never alarms
    EXPECT_FALSE(RowAlarm(0));
    EXPECT_FALSE(AlarmPixels(0));
    io.Clear();
    Read(Hot());
    EXPECT_TRUE(RowAlarm(0));
    EXPECT_TRUE(AlarmPixels(0));
    EXPECT_TRUE(LayeredRedrawIsTheFullOne(window));
    BuildMinimizedTitle(window);
    EXPECT_EQ('!', WindowText()[0]);
    EXPECT_EQ(1, sounds);
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(Resolved("cmd.exe") + " \"CP\\\\\" \"60\"", started[0]);  // the label can add no argument
    EXPECT_EQ(SplitCommand(App().alarm.command).program, startedProgram);
    const std::string on = std::string("ALARM ON : C\"P\\     60") + App().units.temp;
    EXPECT_NE(io.DebugLines().end(), std::find(io.DebugLines().begin(), io.DebugLines().end(), on));
    Read(Hot());  // still over: nothing starts again
    EXPECT_EQ(1u, started.size());
    EXPECT_EQ(1, sounds);
    Read(KnownBlock());
    EXPECT_FALSE(RowAlarm(0));
    EXPECT_FALSE(AlarmPixels(0));
    const std::string off = std::string("ALARM OFF: C\"P\\     45") + App().units.temp;
    EXPECT_NE(io.DebugLines().end(), std::find(io.DebugLines().begin(), io.DebugLines().end(), off));
    EXPECT_TRUE(io.Messages().empty());
}

TEST_F(WatchTest, BoundsOfEveryKind)
{
    const int kFan1 = kTempCount + 1, kVolt1 = kTempCount + kFanCount + 1;
    const struct {
        const char* what;
        std::function<void(AppState&)> set;
        int row;
        bool alarm;
    } kCases[] = {
        {"a stopped fan under its lower bound", [](AppState& a) { a.alarm.fanMin[1] = {1, 500}; }, kFan1, true},
        {"a voltage under its lower bound", [](AppState& a) { a.alarm.inMin[1] = {1, 1.25}; }, kVolt1, true},
        {"a voltage inside both", [](AppState& a) { a.alarm.inMin[1] = {1, 1.0}, a.alarm.inMax[1] = {1, 1.2}; },
         kVolt1, false},
        {"0 is a real bound", [](AppState& a) { a.alarm.inMax[1] = {1, 0}; }, kVolt1, true},
        {"a row switched off", [](AppState& a) { a.alarm.inMin[1] = {1, 1.25}, a.show.in[1] = 0; }, kVolt1, false},
        {"alarms off", [](AppState& a) { a.alarm.inMin[1] = {1, 1.25}, a.alarm.enable = 0; }, kVolt1, false},
    };
    for (const auto& c : kCases) {
        ASSERT_TRUE(Open());
        App().alarm.enable = 1;
        App().show.in[1] = 1;
        App().alarm.fanMin[1] = App().alarm.inMin[1] = App().alarm.inMax[1] = {};
        c.set(App());
        Read(KnownBlock(), 2);
        EXPECT_EQ(c.alarm, RowAlarm(c.row)) << c.what;
        DestroyWindow(window);
        window = nullptr;
    }
}

TEST_F(WatchTest, ACommandRunsOnlyOnceTheUserConfirmedIt)
{
    App().alarm.tempMax[0] = {1, 50};
    lstrcpynA(App().alarm.command, kCommand, kPathSize);
    ASSERT_TRUE(Open());
    Read(Hot(), 2);  // asked, answered No: not run, not asked again this run
    ASSERT_EQ(1u, io.Messages().size());
    EXPECT_EQ("アラームで次のコマンドを実行しますか？\n" + Resolved(kCommand), io.Messages()[0].text);
    EXPECT_EQ("確認", io.Messages()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2), io.Messages()[0].style & (MB_TYPEMASK | MB_DEFMASK));
    EXPECT_EQ(0u, io.Messages()[0].style & (MB_SETFOREGROUND | MB_TOPMOST));
    Read(KnownBlock());
    Read(Hot(), 2);
    EXPECT_EQ(1u, io.Messages().size());
    EXPECT_TRUE(started.empty());

    App().watch.refusedCommand[0] = '\0';  // a new run of the program
    io.AnswerYesNo(IDYES);
    Read(KnownBlock());
    Read(Hot(), 2);
    EXPECT_EQ(2u, io.Messages().size());
    EXPECT_EQ(1u, started.size());
    Read(KnownBlock());
    Read(Hot(), 2);  // confirmed on this machine: runs without asking
    EXPECT_EQ(2u, io.Messages().size());
    EXPECT_EQ(2u, started.size());

    EXPECT_EQ(Resolved(kCommand), App().alarm.command);  // kept as confirmed

    // A settings file that names another command asks again, and so does
    // another settings file with the confirmed one.
    const auto alarmWith = [this](const std::string& settings, const std::string& command) {
        WritePrivateProfileStringA("Alarm", "Command", command.c_str(), settings.c_str());
        lstrcpynA(App().settingsPath, settings.c_str(), kPathSize);
        LoadSettings(1);
        App().alarm.tempMax[0] = {1, 50};
        App().alarm.enable = 1;
        App().alarm.repeat = 0;
        Read(KnownBlock());
        Read(Hot(), 2);
    };
    alarmWith(App().settingsPath, "ping.exe");
    EXPECT_EQ(3u, io.Messages().size());
    alarmWith(dir.File("OTHER.VKC"), Resolved(kCommand));
    EXPECT_EQ(4u, io.Messages().size());
    SetWatchCalls(WatchCalls{FailStart, RecordSound});  // reported once per run
    Read(KnownBlock());
    Read(Hot(), 2);
    Read(KnownBlock());
    Read(Hot(), 2);
    EXPECT_EQ(5u, io.Messages().size());
    EXPECT_EQ("アラームコマンド実行エラーが発生しました。", io.Messages().back().text);
}

// The real start: the program by its absolute path, with the alarm's label
// and value in its environment.
TEST_F(WatchTest, TheCommandGetsLabelAndValueInItsEnvironment)
{
    const std::string out = dir.File("ENV.TXT");
    char command[kPathSize];
    std::snprintf(command, sizeof command, "cmd.exe /c set > %s", out.c_str());
    App().alarm.tempMax[0] = {1, 50};
    lstrcpynA(App().alarm.command, command, kPathSize);
    ASSERT_TRUE(ConfirmCommand(App().alarm.command));
    SetWatchCalls({});
    ASSERT_TRUE(Open());
    Read(Hot(), 2);
    std::string text;
    for (int wait = 0; wait < 100 && text.find("VESKORA_VALUE") == std::string::npos; ++wait) {
        Sleep(100);
        text = ReadWholeFile(out);
    }
    EXPECT_NE(std::string::npos, text.find("VESKORA_LABEL=CPU")) << text;
    EXPECT_NE(std::string::npos, text.find("VESKORA_VALUE=60")) << text;
}

// A value swinging around its bound beeps and runs the command at most
// once per Repeat minutes.
TEST_F(WatchTest, ASwingingRowActsOncePerRepeat)
{
    App().alarm.tempMax[0] = {1, 50};
    App().alarm.count = 1;
    App().alarm.repeat = 10;
    App().alarm.beep = 1;
    lstrcpynA(App().alarm.command, kCommand, kPathSize);
    ASSERT_TRUE(ConfirmCommand(App().alarm.command));
    SetWatchCalls(WatchCalls{RecordStart, RecordSound, GetLocalTime, FakeTick});
    ASSERT_TRUE(Open());
    for (ULONGLONG minute : {1, 2, 10, 12, 22}) {
        fakeTick = minute * 60000;
        Read(KnownBlock());
        Read(Hot());
        EXPECT_TRUE(RowAlarm(0));
    }
    EXPECT_EQ(3u, started.size());  // at minutes 1, 12 and 22
    EXPECT_EQ(3, sounds);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

std::string Today(const char* pattern)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[64];
    std::snprintf(name, sizeof name, pattern, now.wYear, now.wMonth, now.wDay);
    return name;
}

// The log on, for the shown rows alone, into LOG_YYYYMMDD.CSV; today's file.
std::string LogToday(const TempDir& dir)
{
    AppState& a = App();
    a.log.enable = 1;
    a.coreTemp.enable = 0;
    lstrcpynA(a.log.fileName, dir.File("LOG_%Y%m%d.CSV").c_str(), kPathSize);
    return dir.File(Today("LOG_%04u%02u%02u.CSV"));
}

TEST_F(WatchTest, TheLogTakesALinePerReadingInItsOwnFilesOnly)
{
    AppState& a = App();
    const std::string today = LogToday(dir);
    a.log.keep = 1;
    const std::string old = dir.File("LOG_20000101.CSV"), foreignOld = dir.File("LOG_20000102.CSV");
    WriteWholeFile(old, "Time,x\r\n");
    WriteWholeFile(foreignOld, "my own notes\r\n");
    ASSERT_TRUE(Open());
    const size_t first = Lines(ReadWholeFile(today)).size();  // the window's first reading, if logged yet
    Read(KnownBlock(), 3);
    std::vector<std::string> lines = Lines(ReadWholeFile(today));
    ASSERT_EQ(first ? first + 3 : 4u, lines.size());
    EXPECT_EQ(0u, lines[0].find("Time,CPU (C),"));  // the degree sign is katakana to a spreadsheet
    EXPECT_EQ(19u, lines[1].find(",45,38,,"));  // "YYYY-MM-DD hh:mm:ss" first
    EXPECT_NE(std::string::npos, lines[1].find(",2.64,1.20,,1.18,5.04,15.05,,3.33,3.04"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(old.c_str()));  // our header, not made here: kept
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(foreignOld.c_str()));

    a.log.every = 2;
    ResumeLogging();  // as an apply does
    Read(KnownBlock(), 3);
    EXPECT_EQ(lines.size() + 2, Lines(ReadWholeFile(today)).size());

    // A file of today's name that the program did not write is left alone.
    WriteWholeFile(today, "somebody else's\r\n");
    ResumeLogging();
    a.log.every = 1;
    Read(KnownBlock());
    EXPECT_EQ("somebody else's\r\n", ReadWholeFile(today));
    EXPECT_EQ(2u, Lines(ReadWholeFile(dir.File(Today("LOG_%04u%02u%02u_1.CSV")))).size());
    EXPECT_TRUE(io.Messages().empty());

    // Another ending is never written; a folder that is not there fails once.
    lstrcpynA(a.log.fileName, dir.File("LOG.BAT").c_str(), kPathSize);
    Read(KnownBlock());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("LOG.BAT").c_str()));
    lstrcpynA(a.log.fileName, dir.File("none\\LOG.CSV").c_str(), kPathSize);
    Read(KnownBlock(), 3);
    ASSERT_EQ(1u, io.Messages().size());
    EXPECT_EQ("ログファイル書込エラーが発生しました。", io.Messages()[0].text);
    // A device name is refused the same way, and nothing is written.
    lstrcpynA(a.log.fileName, dir.File("nul.csv").c_str(), kPathSize);
    ResumeLogging();
    Read(KnownBlock());
    EXPECT_EQ(2u, io.Messages().size());
}

// A spreadsheet holds the file locked: the lines wait, nothing is said,
// and they are written in order once it lets go.
TEST_F(WatchTest, ALockedLogFileCatchesUpInOrder)
{
    AppState& a = App();
    const std::string today = LogToday(dir);
    ASSERT_TRUE(Open());
    Read(KnownBlock());
    const size_t before = Lines(ReadWholeFile(today)).size();
    HANDLE held = CreateFileA(today.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    SensorBlock hot = KnownBlock();
    hot.temp[1] = 77;
    Read(hot, 2);
    // Another log file meanwhile (a new name, or a new day) is not held up.
    lstrcpynA(a.log.fileName, dir.File("NEW_%Y%m%d.CSV").c_str(), kPathSize);
    ResumeLogging();
    Read(KnownBlock(), 2);
    EXPECT_EQ(3u, Lines(ReadWholeFile(dir.File(Today("NEW_%04u%02u%02u.CSV")))).size());
    CloseHandle(held);
    EXPECT_EQ(before, Lines(ReadWholeFile(today)).size());
    Read(KnownBlock());
    const std::vector<std::string> lines = Lines(ReadWholeFile(today));
    ASSERT_EQ(before + 2, lines.size());
    EXPECT_NE(std::string::npos, lines[before].find(",77,"));
    EXPECT_NE(std::string::npos, lines[before + 1].find(",77,"));
    EXPECT_TRUE(io.Messages().empty());
}

// A cycle with the bus held by another monitor read nothing: it counts
// for no alarm (a spike and a busy cycle are not two readings over) and
// writes no log line.
TEST_F(WatchTest, ACycleThatReadNothingNeitherCountsNorLogs)
{
    AppState& a = App();
    a.alarm.tempMax[0] = {1, 50};
    const std::string today = LogToday(dir);
    ASSERT_TRUE(Open());
    Read(KnownBlock());
    const size_t before = Lines(ReadWholeFile(today)).size();
    Read(Hot());
    {
        OtherMonitor other(false);
        Read(Hot());
    }
    EXPECT_FALSE(RowAlarm(0));
    EXPECT_EQ(before + 1, Lines(ReadWholeFile(today)).size());
    Read(Hot());
    EXPECT_TRUE(RowAlarm(0));
}

SYSTEMTIME fakeToday = {};
void WINAPI FakeClock(SYSTEMTIME* now)
{
    *now = fakeToday;
}

// A new day starts a new file, which takes the files of the pattern older
// than Keep with it, as long as the program made them here and they still
// begin with its header.
TEST_F(WatchTest, ADateChangeStartsANewFileAndKeepDeletesOnlyOldFilesOfItsOwn)
{
    AppState& a = App();
    a.log.enable = 1;
    lstrcpynA(a.log.fileName, dir.File("LOG_%Y%m%d.CSV").c_str(), kPathSize);
    const std::string ours = dir.File("LOG_20260201.CSV"), foreign = dir.File("LOG_20260202.CSV");
    const std::string data = dir.File("LOG_20260203.CSV"), changed = dir.File("LOG_20260204.CSV");
    WriteWholeFile(foreign, "Time of my life\r\n");
    WriteWholeFile(data, "Time,x\r\n");  // another logger's file, with a header like ours
    fakeToday = {2026, 2, 0, 1, 12, 0, 0, 0};
    SetWatchCalls(WatchCalls{RecordStart, RecordSound, FakeClock});
    ASSERT_TRUE(Open());
    Read(KnownBlock());
    fakeToday.wDay = 4;
    Read(KnownBlock());
    WriteWholeFile(changed, "Time,rewritten\r\n");
    fakeToday = {2026, 3, 0, 1, 12, 0, 0, 0};
    Read(KnownBlock(), 2);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("LOG_20260301.CSV").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ours.c_str()));  // 28 days: kept
    // Another settings file naming the same files deletes none of them.
    const std::string own = a.settingsPath;
    lstrcpynA(a.settingsPath, dir.File("STRANGER.VKC").c_str(), kPathSize);
    fakeToday = {2026, 4, 0, 14, 0, 0, 1, 0};
    Read(KnownBlock());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ours.c_str()));
    lstrcpynA(a.settingsPath, own.c_str(), kPathSize);
    fakeToday = {2026, 4, 0, 15, 0, 0, 1, 0};
    Read(KnownBlock());
    EXPECT_EQ(2u, Lines(ReadWholeFile(dir.File("LOG_20260415.CSV"))).size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("LOG_20260301.CSV").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ours.c_str()));
    for (const std::string& kept : {foreign, data, changed})
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kept.c_str())) << kept;
    SetWatchCalls(WatchCalls{RecordStart, RecordSound});
}

TEST_F(WatchTest, TheNewKeysComeAfterTheOldOnesAndRoundTrip)
{
    SaveSettings(1);
    const std::string before = ReadWholeFile(App().settingsPath);
    EXPECT_NE(std::string::npos, before.find("[CoreTemp]"));
    EXPECT_LT(before.find("[CoreTemp]"), before.find("[Alarm]"));
    EXPECT_LT(before.find("[Alarm]"), before.find("[Log]"));
    EXPECT_NE(std::string::npos, before.find("Temp0Max=\r\n"));
    const std::string theme = ReadWholeFile(App().themePath);
    EXPECT_LT(theme.find("Back="), theme.find("Alarm=255,0,0"));
    App().alarm.inMin[2] = {1, 1.5};
    App().alarm.fanMin[0] = {1, 0};
    SaveSettings(1);
    App().alarm.inMin[2] = App().alarm.fanMin[0] = {};
    LoadSettings(1);
    EXPECT_EQ(1, App().alarm.inMin[2].set);
    EXPECT_DOUBLE_EQ(1.5, App().alarm.inMin[2].value);
    EXPECT_EQ(1, App().alarm.fanMin[0].set);  // 0 is a bound
    EXPECT_EQ(0, App().alarm.tempMax[0].set);
}

}  // namespace
