// The editor inside a window of the host's own, driven only by the host's
// Win32 message loop (no effEditIdle), as Windows hosts and Wine bridges run it.
// The pictures are saved as test artifacts.

#include "host/HostTestFixture.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

namespace varnoke::test
{
namespace
{
using EditorWindowTest = HostTest;

constexpr const wchar_t* hostWindowClass = L"VarnokeTestHostWindow";

// Pixels of the window's client area, 0x00RRGGBB, rows top to bottom.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createHostWindow(int clientWidth, int clientHeight)
{
    static const ATOM registered = []
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = hostWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = hostWindowClass;
        return RegisterClassW(&windowClass);
    }();
    if (registered == 0)
        return nullptr;

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExW(0, hostWindowClass, L"Varnoke", style | WS_VISIBLE, 40, 40, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The host's message loop for a while, without effEditIdle.
void runMessageLoop(int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

// What the screen shows of the window's client area.
Picture capture(HWND window)
{
    Picture picture;
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    picture.width = client.right;
    picture.height = client.bottom;
    if (picture.width <= 0 || picture.height <= 0)
        return picture;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr)
    {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, picture.width, picture.height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        const auto* words = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < picture.width * picture.height; ++i)
            picture.pixels.push_back(words[i] & 0x00FFFFFFu);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// A 24-bit BMP file, the test artifact.
bool saveBmp(const char* path, const Picture& picture)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), std::fclose);
    if (file == nullptr)
        return false;

    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(picture.width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(picture.height);
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fileHeader.bfSize = fileHeader.bfOffBits + imageBytes;
    BITMAPINFOHEADER infoHeader{};
    infoHeader.biSize = sizeof(BITMAPINFOHEADER);
    infoHeader.biWidth = picture.width;
    infoHeader.biHeight = picture.height;  // bottom-up
    infoHeader.biPlanes = 1;
    infoHeader.biBitCount = 24;
    infoHeader.biCompression = BI_RGB;
    infoHeader.biSizeImage = imageBytes;
    std::fwrite(&fileHeader, sizeof fileHeader, 1, file.get());
    std::fwrite(&infoHeader, sizeof infoHeader, 1, file.get());

    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = picture.height - 1; y >= 0; --y)
    {
        for (int x = 0; x < picture.width; ++x)
        {
            const std::uint32_t pixel = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
            row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<unsigned char>(pixel);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>(pixel >> 8);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(pixel >> 16);
        }
        if (std::fwrite(row.data(), 1, row.size(), file.get()) != row.size())
            return false;
    }
    return std::fflush(file.get()) == 0;
}

std::size_t countColours(const Picture& picture)
{
    return std::set<std::uint32_t>(picture.pixels.begin(), picture.pixels.end()).size();
}

std::size_t countChangedPixels(const Picture& before, const Picture& after)
{
    if (before.pixels.size() != after.pixels.size())
        return before.pixels.size() + after.pixels.size();
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.pixels.size(); ++i)
        changed += before.pixels[i] != after.pixels[i] ? 1 : 0;
    return changed;
}

TEST_F(EditorWindowTest, OpensInTheHostWindowAndRepaintsFromTheHostMessageLoop)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);

    ERect* rect = nullptr;
    ASSERT_NE(0, dispatch(effect, effEditGetRect, 0, 0, &rect));
    ASSERT_NE(nullptr, rect);
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    EXPECT_EQ(420, width);
    EXPECT_EQ(99, height);

    HWND hostWindow = createHostWindow(width, height);
    ASSERT_NE(nullptr, hostWindow);
    ASSERT_EQ(1, dispatch(effect, effEditOpen, 0, 0, hostWindow));

    // The editor is a child window of the host's, filling it.
    HWND editorWindow = GetWindow(hostWindow, GW_CHILD);
    ASSERT_NE(nullptr, editorWindow);
    EXPECT_EQ(hostWindow, GetAncestor(editorWindow, GA_PARENT));
    RECT editorClient{};
    GetClientRect(editorWindow, &editorClient);
    EXPECT_EQ(width, editorClient.right);
    EXPECT_EQ(height, editorClient.bottom);
    // Its window class is registered for the DLL, not for the program, so unloading the DLL takes it along.
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(library->nativeHandle()), GetClassLongPtrW(editorWindow, GCLP_HMODULE));

    runMessageLoop(800);
    const Picture opened = capture(hostWindow);
    EXPECT_TRUE(saveBmp("windows-editor.bmp", opened));
    EXPECT_GT(countColours(opened), 100u) << "the artwork was not painted";

    // The host turns every knob to the other end; the window must follow.
    for (int index = 0; index < 3; ++index)
        effect->setParameter(effect, index, effect->getParameter(effect, index) < 0.5f ? 1.0f : 0.0f);
    runMessageLoop(800);
    const Picture changed = capture(hostWindow);
    EXPECT_TRUE(saveBmp("windows-editor-knobs-turned.bmp", changed));
    EXPECT_GT(countChangedPixels(opened, changed), 200u) << "the knobs were not repainted";

    EXPECT_EQ(0, dispatch(effect, effEditClose));
    runMessageLoop(50);
    EXPECT_EQ(nullptr, GetWindow(hostWindow, GW_CHILD));
    DestroyWindow(hostWindow);
}

// effEditIdle alone, without the host's loop, also brings the queued repaints out.
TEST_F(EditorWindowTest, IdleCallsPaintQueuedRepaints)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    HWND hostWindow = createHostWindow(420, 99);
    ASSERT_NE(nullptr, hostWindow);
    ASSERT_EQ(1, dispatch(effect, effEditOpen, 0, 0, hostWindow));
    runMessageLoop(500);
    const Picture opened = capture(hostWindow);

    for (int index = 0; index < 3; ++index)
        effect->setParameter(effect, index, effect->getParameter(effect, index) < 0.5f ? 1.0f : 0.0f);
    for (int call = 0; call < 10; ++call)
    {
        EXPECT_EQ(0, dispatch(effect, effEditIdle));
        Sleep(20);
    }
    EXPECT_GT(countChangedPixels(opened, capture(hostWindow)), 200u);

    EXPECT_EQ(0, dispatch(effect, effEditClose));
    DestroyWindow(hostWindow);
}
}  // namespace
}  // namespace varnoke::test
