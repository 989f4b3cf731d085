#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/appstate.h"
#include "foundation/seams.h"
#include "app/settings.h"
#include "app/startup.h"
#include "foundation/userio.h"
#include "resources/resource.h"
#include "support/tempdir.h"

namespace {

const char kLayoutError[] = "レイアウトオブジェクト生成エラーが発生しました。";

std::string ExecutableFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *(std::strrchr(path, '\\') + 1) = '\0';
    return path;
}

std::string TestLayout(const char* name)
{
    return ExecutableFolder() + "testdata\\" + name;
}

// How many views of a file with this name are mapped into the process.
int MappedViews(const std::string& fileName)
{
    int views = 0;
    MEMORY_BASIC_INFORMATION info;
    const char* at = nullptr;
    while (VirtualQuery(at, &info, sizeof info) == sizeof info) {
        char mapped[MAX_PATH * 2];
        if (info.State == MEM_COMMIT && info.BaseAddress == info.AllocationBase &&
            GetMappedFileNameA(GetCurrentProcess(), info.BaseAddress, mapped, sizeof mapped)) {
            size_t n = std::strlen(mapped);
            if (n >= fileName.size() && lstrcmpiA(mapped + n - fileName.size(), fileName.c_str()) == 0)
                ++views;
        }
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return views;
}

struct ShownMessage {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
std::vector<ShownMessage> shown;

int CaptureMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    shown.push_back({owner, text, caption, style});
    return IDOK;
}

enum class Arrangement { BuiltIn, Wide, Unknown };

RECT ControlRect(HWND window, int id)
{
    RECT r = {};
    if (HWND control = GetDlgItem(window, id))
        GetWindowRect(control, &r);
    return r;
}

// Template 200 stacks temperatures over fans; the wide layout puts them side by side.
Arrangement ArrangementOf(HWND window)
{
    RECT temp = ControlRect(window, IDC_TEMP_FRAME);
    RECT fan = ControlRect(window, IDC_FAN_FRAME);
    if (IsRectEmpty(&temp) || IsRectEmpty(&fan))
        return Arrangement::Unknown;
    if (fan.top >= temp.bottom && fan.left == temp.left)
        return Arrangement::BuiltIn;
    if (fan.top == temp.top && fan.left >= temp.right)
        return Arrangement::Wide;
    return Arrangement::Unknown;
}

struct SeenWindow {
    Arrangement arrangement;
    int layoutViews;  // views of the watched layout file while the window exists
};

// The windows a test's loop will create: the end code of each, and what each looked like.
struct Script {
    std::vector<INT_PTR> endCodes;
    std::string watchedLayout;
    void (*onWindow)(size_t index) = nullptr;
    std::vector<SeenWindow> seen;
} script;

INT_PTR CALLBACK ScriptedWindow(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    size_t index = script.seen.size();
    int views = script.watchedLayout.empty() ? 0 : MappedViews(script.watchedLayout);
    script.seen.push_back({ArrangementOf(window), views});
    if (script.onWindow)
        script.onWindow(index);
    // A loop that runs past its script is ended rather than left spinning.
    EndDialog(window, index < script.endCodes.size() ? script.endCodes[index] : 0);
    return TRUE;
}

class StartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        shown.clear();
        script = Script();
        SetUserCalls(UserCalls{CaptureMessage});
    }
    void TearDown() override
    {
        SetUserCalls({});
        ResetAppState();
    }

    // A loop that never returns cannot fail an assertion: a watchdog ends
    // the test program instead.
    void RunLoop(std::vector<INT_PTR> endCodes)
    {
        script.endCodes = std::move(endCodes);
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread watchdog([done] {
            if (WaitForSingleObject(done, 60000) == WAIT_TIMEOUT) {
                std::fprintf(stderr, "the creation loop did not end\n");
                ExitProcess(3);
            }
        });
        RunCreationLoop(GetModuleHandleA(nullptr), ScriptedWindow);
        SetEvent(done);
        watchdog.join();
        CloseHandle(done);
    }

    void UseLayout(const std::string& path)
    {
        App().layoutEnable = 1;
        std::strcpy(App().layoutPath, path.c_str());
    }

    void ExpectOneLayoutError()
    {
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(nullptr, shown[0].owner);
        EXPECT_EQ(kLayoutError, shown[0].text);
        EXPECT_STREQ("エラー情報", shown[0].caption.c_str());
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), shown[0].style);
    }

    TempDir dir;
};

TEST_F(StartupTest, SettingsPathComesFromTheCommandLineAsItStands)
{
    ComputeSettingsPath("");
    EXPECT_EQ(ExecutableFolder() + "VESKORA.VKC", App().settingsPath);
    ComputeSettingsPath(nullptr);
    EXPECT_EQ(ExecutableFolder() + "VESKORA.VKC", App().settingsPath);

    ComputeSettingsPath("\"C:\\My Settings\\home.vkc\" ");
    EXPECT_STREQ("\"C:\\My Settings\\home.vkc\" ", App().settingsPath);

    std::string longLine(1100, 'x');
    longLine[1022] = 'E';
    ComputeSettingsPath(longLine.c_str());
    EXPECT_EQ(longLine.substr(0, 1023), App().settingsPath);
}

TEST_F(StartupTest, BuiltInTemplateWhileTheLayoutIsOff)
{
    std::strcpy(App().layoutPath, "VKL_WIDE.VKL");
    RunLoop({0});
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
    EXPECT_TRUE(shown.empty());
}

TEST_F(StartupTest, AnyNonZeroEndCodeCreatesTheWindowAgain)
{
    RunLoop({1, 1, 5, 0, 1});
    EXPECT_EQ(4u, script.seen.size());
}

TEST_F(StartupTest, BareLayoutNameIsFoundBesideTheExecutableAndMappedOncePerWindow)
{
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(dir.Path().c_str());
    UseLayout("VKL_WIDE.VKL");
    script.watchedLayout = "VKL_WIDE.VKL";
    RunLoop({1, 1, 0});
    SetCurrentDirectoryA(previous);

    ASSERT_EQ(3u, script.seen.size());
    for (const SeenWindow& w : script.seen) {
        EXPECT_EQ(Arrangement::Wide, w.arrangement);
        EXPECT_EQ(1, w.layoutViews);  // loaded afresh, the previous one released
    }
    EXPECT_EQ(0, MappedViews("VKL_WIDE.VKL"));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(1, App().layoutEnable);
}

TEST_F(StartupTest, LayoutFileAnywhereIsReadByItsPath)
{
    std::string copy = dir.File("Other.vkl");
    ASSERT_TRUE(CopyFileA((ExecutableFolder() + "VKL_WIDE.VKL").c_str(), copy.c_str(), FALSE));
    UseLayout(copy);
    script.watchedLayout = "Other.vkl";
    RunLoop({0});
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(Arrangement::Wide, script.seen[0].arrangement);
    EXPECT_EQ(1, script.seen[0].layoutViews);
    EXPECT_EQ(0, MappedViews("Other.vkl"));
}

TEST_F(StartupTest, UnusableLayoutsShowOneMessageAndFallBackToTheBuiltInTemplate)
{
    WriteWholeFile(dir.File("text.vkl"), "[Layout]\r\nnot a module\r\n");
    const std::string layouts[] = {
        dir.File("missing.vkl"),         // no such file
        dir.File("text.vkl"),            // not a module
        TestLayout("no201.vkl"),         // a module without template 201
        TestLayout("truncated201.vkl"),  // template 201 cut short
        TestLayout("badclass201.vkl"),   // the window cannot be created from it
    };
    for (const std::string& layout : layouts) {
        SCOPED_TRACE(layout);
        shown.clear();
        script = Script();
        UseLayout(layout);
        std::string name = layout.substr(layout.rfind('\\') + 1);
        RunLoop({1, 0});
        ExpectOneLayoutError();
        ASSERT_EQ(2u, script.seen.size());
        EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
        EXPECT_EQ(Arrangement::BuiltIn, script.seen[1].arrangement);
        EXPECT_EQ(0, App().layoutEnable);
        EXPECT_EQ(0, MappedViews(name));  // unloaded although no window came of it
    }
}

TEST_F(StartupTest, LayoutSwitchedOnByAWindowIsUsedForTheNextOne)
{
    std::strcpy(App().layoutPath, "VKL_WIDE.VKL");
    script.onWindow = [](size_t index) {
        if (index == 0)
            App().layoutEnable = 1;
    };
    RunLoop({1, 0});
    ASSERT_EQ(2u, script.seen.size());
    EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
    EXPECT_EQ(Arrangement::Wide, script.seen[1].arrangement);
}

TEST_F(StartupTest, LayoutModulesAreMappedAsDataOnly)
{
    EXPECT_EQ(nullptr, LoadLayoutModule(""));
    EXPECT_EQ(nullptr, LoadLayoutModule(dir.File("missing.vkl").c_str()));
    HMODULE module = LoadLayoutModule("VKL_WIDE.VKL");
    ASSERT_NE(nullptr, module);
    // A data-file mapping is not a loaded module: no code of it can run.
    EXPECT_EQ(nullptr, GetModuleHandleA("VKL_WIDE.VKL"));
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(IDD_LAYOUT), RT_DIALOG));
    FreeLibrary(module);
}

class RunProgramTest : public StartupTest {
protected:
    std::string settingsPath = dir.File("start.vkc");
    std::string themePath = dir.File("start.vkt");

    void WriteFiles(const std::string& themeText)
    {
        WriteWholeFile(settingsPath, "[Config]\r\nFileName=" + themePath + "\r\n");
        WriteWholeFile(themePath, themeText);
    }
};

TEST_F(RunProgramTest, SeedsDefaultsLoadsTheFilesAndShowsTheWindow)
{
    WriteFiles("[Colors]\r\nBack=1,2,3\r\n[Fonts]\r\nValue=-30,0,0,0,400,0,0,0,0,0,0,0,0,Tahoma\r\n");
    script.endCodes = {1, 0};
    HINSTANCE instance = GetModuleHandleA(nullptr);
    EXPECT_EQ(1, RunProgram(instance, settingsPath.c_str(), ScriptedWindow));

    const AppState& s = App();
    EXPECT_EQ(instance, s.instance);
    EXPECT_STREQ(settingsPath.c_str(), s.settingsPath);
    EXPECT_STREQ(themePath.c_str(), s.themePath);
    EXPECT_NE(nullptr, s.smallIcon);
    EXPECT_NE(nullptr, s.largeIcon);
    EXPECT_EQ(5u, s.timer);
    for (int i = 0; i < kColorBack; ++i)
        EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), s.colors.slot[i].colour) << i;
    EXPECT_EQ(RGB(1, 2, 3), s.colors.slot[kColorBack].colour);
    for (const ColorSlot& slot : s.colors.slot)
        EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), slot.shadowColour);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), s.mask.color);

    const LOGFONTA& frame = s.fonts.slot[kFontFrame].configured;
    EXPECT_EQ(-15, frame.lfHeight);
    EXPECT_EQ(700, frame.lfWeight);
    EXPECT_EQ(1, frame.lfItalic);
    EXPECT_EQ(0, frame.lfCharSet);
    EXPECT_STREQ("Arial", frame.lfFaceName);
    const LOGFONTA& label = s.fonts.slot[kFontLabel].configured;
    EXPECT_EQ(-19, label.lfHeight);
    EXPECT_EQ(0, label.lfItalic);
    EXPECT_STREQ("Courier New", label.lfFaceName);
    EXPECT_EQ(-30, s.fonts.slot[kFontValue].configured.lfHeight);
    EXPECT_STREQ("Tahoma", s.fonts.slot[kFontValue].configured.lfFaceName);

    ASSERT_EQ(2u, script.seen.size());
    EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
}

TEST_F(RunProgramTest, AQuotedCommandLineFindsNoFileAndKeepsEveryDefault)
{
    WriteFiles("[Global]\r\nTimer=30\r\n");
    std::string quoted = "\"" + settingsPath + "\"";
    script.endCodes = {0};
    EXPECT_EQ(1, RunProgram(GetModuleHandleA(nullptr), quoted.c_str(), ScriptedWindow));
    EXPECT_EQ(quoted, App().settingsPath);
    EXPECT_STREQ("VESKORA.VKT", App().themePath);
    EXPECT_EQ(5u, App().timer);
    EXPECT_DOUBLE_EQ(1.47, App().divid.in[3]);
    EXPECT_EQ(1u, script.seen.size());
}

TEST_F(RunProgramTest, MissingLayoutIsReportedOnceAndALaterSaveRecordsItOff)
{
    WriteFiles("[Layout]\r\nEnable=1\r\nFileName=" + dir.File("gone.vkl") + "\r\n");
    script.endCodes = {0};
    RunProgram(GetModuleHandleA(nullptr), settingsPath.c_str(), ScriptedWindow);
    ExpectOneLayoutError();
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
    // Only a save writes the switch back.
    EXPECT_NE(std::string::npos, ReadWholeFile(themePath).find("Enable=1"));
    SaveSettings(0);
    std::string theme = ReadWholeFile(themePath);
    size_t layout = theme.find("[Layout]");
    ASSERT_NE(std::string::npos, layout);
    std::string section = theme.substr(layout, theme.find('[', layout + 1) - layout);
    EXPECT_NE(std::string::npos, section.find("Enable=0\r\n"));
}

// The error box the user sees: found on screen by its caption, read, and
// closed. The style as a whole is checked at the seam (ExpectOneLayoutError).
struct ScreenBox {
    std::atomic<bool> found{false};
    std::string text;
    bool errorIcon = false;
    HWND owner = nullptr;
};

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param)
{
    auto* box = reinterpret_cast<ScreenBox*>(param);
    char text[256] = "";
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, kLayoutError) == 0)
        box->text = text;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == LoadIconA(nullptr, IDI_ERROR))
        box->errorIcon = true;
    return TRUE;
}

BOOL CALLBACK CloseWindowOfThread(HWND window, LPARAM)
{
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void WatchForBox(ScreenBox* box, DWORD mainThread)
{
    for (int i = 0; i < 200; ++i) {
        HWND window = FindWindowA("#32770", "エラー情報");
        if (window && IsWindowVisible(window)) {  // shown: set up completely
            box->owner = GetWindow(window, GW_OWNER);
            EnumChildWindows(window, ReadBoxChild, reinterpret_cast<LPARAM>(box));
            box->found = true;
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(50);
    }
    // Not recognised: close whatever the main thread shows so the test ends.
    EnumThreadWindows(mainThread, CloseWindowOfThread, 0);
}

TEST_F(StartupTest, TheRealMessageBoxShowsTheLayoutError)
{
    SetUserCalls({});
    UseLayout(dir.File("missing.vkl"));
    ScreenBox box;
    std::thread watcher(WatchForBox, &box, GetCurrentThreadId());
    RunLoop({0});
    watcher.join();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(kLayoutError, box.text);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_TRUE(box.errorIcon);  // MB_ICONERROR; the box shows no trace of the other style bits here
    ASSERT_EQ(1u, script.seen.size());
    EXPECT_EQ(Arrangement::BuiltIn, script.seen[0].arrangement);
}

}  // namespace
