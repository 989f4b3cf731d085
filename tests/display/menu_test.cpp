#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/appstate.h"
#include "display/commands.h"
#include "display/placement.h"

namespace {

struct Item {
    std::string text;
    UINT id;
    UINT state;
    HMENU sub;
};

std::vector<Item> Items(HMENU menu)
{
    std::vector<Item> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        items.push_back({text, GetMenuItemID(menu, i), GetMenuState(menu, i, MF_BYPOSITION),
                         GetSubMenu(menu, i)});
    }
    return items;
}

const Item* Find(const std::vector<Item>& items, UINT id)
{
    for (const Item& i : items)
        if (i.id == id)
            return &i;
    return nullptr;
}

class MenuTest : public testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }
};

TEST_F(MenuTest, MainMenuInOrderWithSubmenus)
{
    App().monitorTimer = 1;
    App().cpu.present = 1;
    ContextMenu menu;
    std::vector<Item> items = Items(menu.main);
    const char* texts[] = {"モニタ停止", "最大値を初期化", "画面を最小化", "", "位置を固定",
                           "スキンを有効", "マスク", "レイアウト", "", "設定画面...",
                           "設定ファイル", "テーマファイル", "", "プロセッサ情報...", "履歴グラフ...", "終了"};
    ASSERT_EQ(sizeof texts / sizeof texts[0], items.size());
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(texts[i], items[i].text) << "item " << i;
    EXPECT_EQ(ID_MONITOR_STOP, items[0].id);
    EXPECT_NE(0u, items[3].state & MF_SEPARATOR);
    EXPECT_EQ(menu.mask, items[6].sub);
    EXPECT_EQ(menu.layout, items[7].sub);
    EXPECT_EQ(menu.settings, items[10].sub);
    EXPECT_EQ(menu.theme, items[11].sub);
    EXPECT_EQ(ID_PROCESSOR_INFO, items[13].id);
    EXPECT_EQ(ID_HISTORY, items[14].id);
    EXPECT_EQ(ID_EXIT, items[15].id);

    std::vector<Item> layout = Items(menu.layout);
    ASSERT_EQ(2u, layout.size());
    EXPECT_EQ("レイアウトを有効", layout[0].text);
    EXPECT_EQ(ID_LAYOUT_ENABLE, layout[0].id);
    EXPECT_EQ("レイアウトを選択...", layout[1].text);
    EXPECT_EQ(ID_LAYOUT_SELECT, layout[1].id);
    std::vector<Item> settings = Items(menu.settings);
    std::vector<Item> theme = Items(menu.theme);
    ASSERT_EQ(2u, settings.size());
    ASSERT_EQ(2u, theme.size());
    EXPECT_EQ("ロード...", settings[0].text);
    EXPECT_EQ(ID_CONFIG_LOAD, settings[0].id);
    EXPECT_EQ("セーブ...", settings[1].text);
    EXPECT_EQ(ID_CONFIG_SAVE, settings[1].id);
    EXPECT_EQ(ID_THEME_LOAD, theme[0].id);
    EXPECT_EQ(ID_THEME_SAVE, theme[1].id);
}

TEST_F(MenuTest, StoppedMonitorAndNoProcessor)
{
    ContextMenu menu;
    std::vector<Item> items = Items(menu.main);
    EXPECT_EQ("モニタ開始", items[0].text);
    EXPECT_EQ(ID_MONITOR_START, items[0].id);
    EXPECT_EQ(nullptr, Find(items, ID_PROCESSOR_INFO));
    ASSERT_GE(items.size(), 3u);
    EXPECT_NE(0u, items[items.size() - 3].state & MF_SEPARATOR);  // kept above the history and "終了"
    EXPECT_EQ(ID_HISTORY, items[items.size() - 2].id);
    EXPECT_EQ(ID_EXIT, items.back().id);
}

TEST_F(MenuTest, ChecksAndGrayedFollowTheState)
{
    App().skin.enable = 1;  // enabled but no skin image loaded: grayed anyway
    App().stable = 1;
    App().layoutEnable = 1;
    {
        ContextMenu menu;
        std::vector<Item> items = Items(menu.main);
        EXPECT_NE(0u, Find(items, ID_SKIN)->state & MF_GRAYED);
        EXPECT_NE(0u, Find(items, ID_SKIN)->state & MF_CHECKED);
        EXPECT_NE(0u, Find(items, ID_LOCK_POSITION)->state & MF_CHECKED);
        EXPECT_NE(0u, Find(Items(menu.layout), ID_LAYOUT_ENABLE)->state & MF_CHECKED);
    }
    App().skinState.loaded = 1;
    App().skin.enable = 0;
    App().stable = 0;
    ContextMenu menu;
    std::vector<Item> items = Items(menu.main);
    EXPECT_EQ(0u, Find(items, ID_SKIN)->state & (MF_GRAYED | MF_CHECKED));
    EXPECT_EQ(0u, Find(items, ID_LOCK_POSITION)->state & MF_CHECKED);
}

TEST_F(MenuTest, ExactlyOneMaskModeIsChecked)
{
    const char* texts[] = {"マスクを無効", "ラウンドを有効", "自動を有効", "カラーを有効",
                           "ビットマップを有効"};
    for (unsigned int mode = 0; mode <= 7; ++mode) {
        App().mask.mode = mode;
        ContextMenu menu;
        std::vector<Item> items = Items(menu.mask);
        ASSERT_EQ(5u, items.size());
        for (unsigned int i = 0; i < items.size(); ++i) {
            EXPECT_EQ(texts[i], items[i].text);
            EXPECT_EQ(ID_MASK_NONE + i, items[i].id);
            EXPECT_EQ(i == mode, (items[i].state & MF_CHECKED) != 0) << "mode " << mode;
        }
    }
}

TEST(Placement, CentringAndLiteralPositions)
{
    ResetAppState();
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5000, 300, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(w);
    App().x = -1;
    App().y = -1;
    PlaceWindow(w);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 5000) / 2, r.left);  // left of the screen
    EXPECT_LT(r.left, 0);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 300) / 2, r.top);

    App().x = 40;
    App().y = -1;
    PlaceWindow(w);
    GetWindowRect(w, &r);
    EXPECT_EQ(40, r.left);
    EXPECT_EQ(-1, r.top);
    EXPECT_EQ(5000, r.right - r.left);

    MoveWindow(w, 12, 34, 100, 100, FALSE);
    SaveWindowPosition(w);
    EXPECT_EQ(12, App().x);
    EXPECT_EQ(34, App().y);
    DestroyWindow(w);
    ResetAppState();
}

}  // namespace
