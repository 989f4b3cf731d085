// Drives the monitor's windows from another process, the way a user's
// clicks would, for the README's pictures (scripts/pictures.sh):
//   vk_drive command TITLE ID    posts the menu command ID (hex or decimal)
//                                to the top-level window titled TITLE
//   vk_drive tab TITLE INDEX     shows page INDEX of the tab control of the
//                                window TITLE, with the arrow keys
//   vk_drive rect TITLE MARGIN   prints the window's rectangle grown by MARGIN
//                                pixels, as ImageMagick's -crop takes it
// Waits up to ten seconds for the window; the exit code is 0 when done.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kWaitMs = 10000;
const int kStepMs = 100;

HWND WaitForWindow(const char* title)
{
    for (int waited = 0; waited < kWaitMs; waited += kStepMs) {
        if (HWND window = FindWindowA(nullptr, title))
            return window;
        Sleep(kStepMs);
    }
    std::fprintf(stderr, "vk_drive: no window titled %s\n", title);
    return nullptr;
}

// The tab control takes the arrow keys whether or not it has the focus and
// tells its dialog of the change itself, in the dialog's own process.
bool ShowTab(HWND window, int index)
{
    HWND tabs = FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr);
    if (!tabs)
        return false;
    for (int waited = 0; waited < kWaitMs; waited += kStepMs) {
        const int current = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
        if (current == index)
            return true;
        const WPARAM key = current < index ? VK_RIGHT : VK_LEFT;
        PostMessageA(tabs, WM_KEYDOWN, key, 1);
        PostMessageA(tabs, WM_KEYUP, key, 0xC0000001);
        Sleep(kStepMs);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vk_drive command TITLE ID | tab TITLE INDEX | rect TITLE MARGIN\n");
        return 2;
    }
    HWND window = WaitForWindow(argv[2]);
    if (!window)
        return 1;
    const long value = std::strtol(argv[3], nullptr, 0);
    if (std::strcmp(argv[1], "command") == 0)
        return PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(value), 0) ? 0 : 1;
    if (std::strcmp(argv[1], "tab") == 0)
        return ShowTab(window, static_cast<int>(value)) ? 0 : 1;
    RECT r;
    if (std::strcmp(argv[1], "rect") == 0 && GetWindowRect(window, &r)) {
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left + 2 * value, r.bottom - r.top + 2 * value,
                    r.left - value, r.top - value);
        return 0;
    }
    std::fprintf(stderr, "vk_drive: no command %s\n", argv[1]);
    return 2;
}
