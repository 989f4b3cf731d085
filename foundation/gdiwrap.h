#pragma once
// Small owners of the display's drawing resources: each starts empty, releases
// what it owns in its destructor, and can be released early and refilled any
// number of times. Releasing twice does nothing more.

#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include "foundation/owner.h"

struct PictureTraits {
    using Type = IPicture*;
    static IPicture* Invalid() { return nullptr; }
    static void Close(IPicture* p) { p->Release(); }
};

struct IconTraits {
    using Type = HICON;
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};

class WINFONT {
public:
    WINFONT();
    virtual ~WINFONT();
    // Copies the description into lf and creates the font from it, replacing
    // the previous one. 0 when the font cannot be created.
    int Create(const LOGFONTA& description);
    void Release();
    HFONT Handle() const { return font.Get(); }

    FontOwner font;
    LOGFONTA lf;
};

class WINBRUSH {
public:
    virtual ~WINBRUSH();
    // A solid brush of the colour, replacing the previous one.
    int Create(COLORREF colour);
    void Release();
    HBRUSH Handle() const { return brush.Get(); }

    BrushOwner brush;
};

// A bitmap selected into its own memory device context.
class WINBMP {
public:
    WINBMP();
    virtual ~WINBMP();
    void Release();
    // Loads a Windows bitmap file (BMP files only).
    bool LoadBitmapFile(const char* fileName);

    MemoryDcOwner dc;
    BitmapOwner bitmap;
    BITMAP info;

protected:
    // Selects the loaded bitmap into dc and reads its description.
    void SelectLoaded();
    // Takes a loaded bitmap and selects it; false without one.
    bool Adopt(HBITMAP loaded);
};

// An image file's bytes read whole into memory, to be decoded again when the
// file may have changed or gone (mostly fewer than the pixels they decode to). A
// movable block, as a memory stream over it needs.
class WINIMGFILE {
public:
    // Replaces the bytes held with the file's; false (and none held) when it
    // cannot be read whole or is larger than any image the loaders take.
    bool Read(const char* fileName);
    void Release();

    GlobalOwner block;
    DWORD size = 0;
};

// An image file held as a bitmap, possibly owned by an OLE picture object.
class WINIMG : public WINBMP {
public:
    ~WINIMG() override;
    void Release();
    // Loads a BMP, PNG, JPEG or GIF file, recognised by its first bytes.
    bool LoadImageFile(const char* fileName);
    // Decodes a file's bytes held in memory as LoadImageFile decodes the file.
    bool LoadImageBytes(const WINIMGFILE& file);

    Owner<PictureTraits> picture;
};

// The description of 32-bit pixels, width x height, top row first.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// A region made of the rectangles (in any order, empty ones skipped), in
// one call; null when none is given or it cannot be made. The caller owns it.
HRGN RegionOfRects(const RECT* rects, int count);

// An off-screen drawing surface of a given size.
class WINMEMDC {
public:
    WINMEMDC();
    virtual ~WINMEMDC();
    // A memory context and bitmap compatible with the window (the screen when
    // window is null), width x height; false when either cannot be created.
    bool CreateSurface(HWND window, int width, int height);
    // The same as 32-bit pixels, top row first, that bits points to.
    bool CreatePixelSurface(HWND window, int width, int height);
    // The same, compatible with a context the caller already holds.
    bool CreatePixelSurfaceLike(HDC like, int width, int height);
    void Release();

    MemoryDcOwner dc;
    BitmapOwner bitmap;
    int width;
    int height;
    DWORD* bits = nullptr;  // of a pixel surface; GdiFlush before touching them
};

// An icon resource at the size of two system metrics (SM_CXSMICON and
// SM_CYSMICON, say); null when it cannot be loaded.
HICON LoadSizedIcon(HINSTANCE module, int id, int metricX, int metricY);

// A tooltip window with one tool whose text is asked for by TTN_GETDISPINFOA.
class CTOOLTIP {
public:
    CTOOLTIP();
    virtual ~CTOOLTIP();
    int CreateTip(DWORD style, const RECT& rect, HINSTANCE module, HWND owner, UINT flags);
    // Keeps the stored icon when icon is -1 (once one is stored); titles of
    // kTitleLimit characters or more are not set. Sends the title only when
    // it or the icon differs from those last sent: the tooltip copies a
    // handle icon for every title it is sent.
    void SetTitle(const char* title, INT_PTR icon);
    // Stores an icon the tooltip owns and destroys with its window.
    void AdoptTitleIcon(HICON icon);
    // Sends the colours only when they differ from those last sent: the
    // tooltip repaints for every colour message.
    void SetColours(COLORREF text, COLORREF back);
    void Destroy();
    HWND Window() const { return window.Get(); }

    HINSTANCE instance;
    WindowOwner window;
    INT_PTR titleIcon;
    int active;
    TOOLINFOA tool;

    static constexpr size_t kTitleLimit = 100;  // the tooltip refuses titles of this length or more

private:
    Owner<IconTraits> ownedIcon;
    bool titleSent = false;
    INT_PTR sentIcon = 0;
    char sentTitle[kTitleLimit] = {};
    bool coloursSent = false;
    COLORREF textColour = 0;
    COLORREF backColour = 0;
};

// The display's colour elements, in the order of the theme keys.
enum ColorElement { kColorLine, kColorFrame, kColorLabel, kColorValue, kColorBack, kColorElements };
// The display's fonts: group titles, item labels, item values.
enum FontElement { kFontFrame, kFontLabel, kFontValue, kFontElements };

struct ColorSlot {
    COLORREF colour = 0;
    WINBRUSH brush;
    int shadow = 0;
    COLORREF shadowColour = 0;
    WINBRUSH shadowBrush;
};

struct DisplayColorSet {
    int shadowOffset = 0;
    ColorSlot slot[kColorElements];

    // Copies colours, flags and the offset; brushes stay with their owner.
    void CopyValuesFrom(const DisplayColorSet& other);
    // Creates the ten brushes: colours, then shadow colours. 0 at the first failure.
    int CreateBrushes();
    void ReleaseBrushes();
};

struct FontSlot {
    LOGFONTA configured = {};
    WINFONT font;
};

struct DisplayFontSet {
    FontSlot slot[kFontElements];

    void CopyValuesFrom(const DisplayFontSet& other);
    // Creates the three fonts from their configured descriptions. 0 at the first failure.
    int CreateFonts();
    void ReleaseFonts();
};
