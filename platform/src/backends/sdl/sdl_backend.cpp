// SPDX-License-Identifier: GPL-3.0-or-later
// The SDL2 backend: the device screen in a desktop window at an integer zoom, mouse as stylus, keys and
// text input, the host clipboard, and raise requests from a second start of the program.
#include "backends/backend.h"
#include "device/device.h"
#include "resources/resources.h"
#include "shell/instance_registry.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <kelvora_device.h>
#include <kelvora_host.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {
namespace {

struct SdlState {
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    int m_texture_width = 0;
    int m_texture_height = 0;
    int m_zoom = 2;
    SDL_Rect m_dest{};
    bool m_button = false;
    bool m_icon_set = false;
};

SdlState& sdl();

UINT virtual_key(SDL_Keycode k)
{
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F10)
        return VK_F1 + (k - SDLK_F1);
    switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    default: return 0;
    }
}

// Host-window pixel to device pixel through the current zoom and placement.
POINT to_device(int x, int y)
{
    SdlState& s = sdl();
    int zoom = std::max(1, s.m_dest.w / std::max(1, device().m_width));
    return POINT{(x - s.m_dest.x) / zoom, (y - s.m_dest.y) / zoom};
}

bool on_screen(POINT p) { return p.x >= 0 && p.y >= 0 && p.x < device().m_width && p.y < device().m_height; }

void handle_event(const SDL_Event& e)
{
    SdlState& s = sdl();
    switch (e.type) {
    case SDL_QUIT: push_input({InputKind::HostClose}); break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) {
            POINT p = to_device(e.button.x, e.button.y);
            if (on_screen(p)) {
                s.m_button = true;
                push_input({InputKind::Down, static_cast<int>(p.x), static_cast<int>(p.y)});
            }
        }
        break;
    case SDL_MOUSEMOTION:
        if (s.m_button) {
            POINT p = to_device(e.motion.x, e.motion.y);
            push_input({InputKind::Move, static_cast<int>(p.x), static_cast<int>(p.y)});
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && s.m_button) {
            s.m_button = false;
            POINT p = to_device(e.button.x, e.button.y);
            push_input({InputKind::Up, static_cast<int>(p.x), static_cast<int>(p.y)});
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (UINT vk = virtual_key(e.key.keysym.sym))
            push_input({e.type == SDL_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp, 0, 0, vk});
        break;
    case SDL_TEXTINPUT:
        // A space also arrives as its key, which TranslateMessage turns into the character.
        for (wchar_t ch : kelvora_from_utf8(e.text.text))
            if (ch != L' ')
                push_input({InputKind::Char, 0, 0, 0, ch});
        break;
    default: break;
    }
}

// The host window carries the program's icon: the class icon of its first window, which the program
// loaded from its icon resource. Transparent pixels of the icon's mask stay transparent.
void set_window_icon()
{
    SdlState& s = sdl();
    if (s.m_icon_set || !s.m_window)
        return;
    const Icon* icon = nullptr;
    for (Window* w : top_level_order())
        if (w->m_class && (icon = icon_from_handle(w->m_class->m_info.hIcon)))
            break;
    if (!icon || icon->m_color.m_width <= 0 || icon->m_color.m_height <= 0)
        return;
    std::vector<uint32_t> argb(icon->m_color.m_pixels);
    for (size_t i = 0; i < argb.size(); ++i) {
        const bool transparent = i < icon->m_mask.size() && icon->m_mask[i];
        argb[i] = transparent ? 0 : (argb[i] | 0xFF000000u);
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), icon->m_color.m_width,
                                                              icon->m_color.m_height, 32, icon->m_color.m_width * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (!surface)
        return;
    SDL_SetWindowIcon(s.m_window, surface); // SDL keeps its own copy
    SDL_FreeSurface(surface);
    s.m_icon_set = true;
}

void present()
{
    SdlState& s = sdl();
    Device& d = device();
    if (!s.m_renderer)
        return;
    if (!s.m_texture || s.m_texture_width != d.m_width || s.m_texture_height != d.m_height) {
        bool rotated = s.m_texture != nullptr;
        if (s.m_texture)
            SDL_DestroyTexture(s.m_texture);
        s.m_texture = SDL_CreateTexture(s.m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        d.m_width, d.m_height);
        s.m_texture_width = d.m_width;
        s.m_texture_height = d.m_height;
        // Never smaller than the device screen at zoom 1, in the orientation it has now.
        SDL_SetWindowMinimumSize(s.m_window, d.m_width, d.m_height);
        if (rotated)
            SDL_SetWindowSize(s.m_window, d.m_width * s.m_zoom, d.m_height * s.m_zoom);
    }
    set_window_icon();
    if (!s.m_texture)
        return;
    SDL_UpdateTexture(s.m_texture, nullptr, d.m_screen.m_pixels.data(), d.m_width * 4);
    int ww = 0, wh = 0;
    SDL_GetRendererOutputSize(s.m_renderer, &ww, &wh);
    int zoom = std::max(1, std::min(ww / d.m_width, wh / d.m_height));
    s.m_dest = SDL_Rect{(ww - d.m_width * zoom) / 2, (wh - d.m_height * zoom) / 2, d.m_width * zoom, d.m_height * zoom};
    SDL_SetRenderDrawColor(s.m_renderer, 40, 40, 40, 255);
    SDL_RenderClear(s.m_renderer);
    SDL_RenderCopy(s.m_renderer, s.m_texture, nullptr, &s.m_dest);
    SDL_RenderPresent(s.m_renderer);
}

bool wait_for_events()
{
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, 200)) {
        handle_event(e);
        while (SDL_PollEvent(&e))
            handle_event(e);
    }
    if (instances::take_raise_request() && sdl().m_window) {
        SDL_RestoreWindow(sdl().m_window);
        SDL_RaiseWindow(sdl().m_window);
    }
    return true;
}

void close_sdl()
{
    SdlState& s = sdl();
    if (s.m_texture)
        SDL_DestroyTexture(s.m_texture);
    if (s.m_renderer)
        SDL_DestroyRenderer(s.m_renderer);
    if (s.m_window)
        SDL_DestroyWindow(s.m_window);
    if (s.m_window)
        SDL_Quit();
    s = SdlState{};
}

// The backend's start: the video subsystem and a window at a zoom that suits the desktop. The window
// starts at zoom 2 unless the desktop is small or large; `error` explains a failure in one line.
bool open_window(std::string* error)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *error = std::string("kelvora: no display available (") + SDL_GetError() + "); set DISPLAY or run it under Xvfb";
        return false;
    }
    SdlState& s = sdl();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest"); // whole device pixels, no blur
    SDL_DisplayMode mode;
    int zoom = 2;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        // About 60 % of the desktop, whole pixels: 2x on a common display, never below 1x, never taller
        // than the desktop leaves room for.
        double fit = std::min(mode.w / 240.0, mode.h / 320.0);
        zoom = std::max(1, static_cast<int>(fit * 0.6 + 0.5));
        while (zoom > 1 && 320 * zoom > mode.h - 60)
            --zoom;
    }
    s.m_zoom = zoom;
    s.m_window = SDL_CreateWindow("Kelvora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 240 * zoom, 320 * zoom,
                                  SDL_WINDOW_RESIZABLE);
    if (s.m_window) {
        SDL_SetWindowMinimumSize(s.m_window, 240, 320);
        s.m_renderer = SDL_CreateRenderer(s.m_window, -1, 0);
    }
    if (!s.m_window || !s.m_renderer) {
        *error = std::string("kelvora: cannot open a window (") + SDL_GetError() + ")";
        close_sdl();
        SDL_Quit();
        return false;
    }
    SDL_StartTextInput();
    return true;
}

// The backend itself: its window, renderer and input state live as long as the device it serves.
class SdlBackend final : public Backend {
public:
    explicit SdlBackend(std::string* error) : m_error(error) {}

    bool start() override { return open_window(m_error); }
    void stop() override { close_sdl(); }
    bool wait() override { return wait_for_events(); }
    void present() override { platform::present(); }
    bool has_clipboard() const override { return true; }
    std::wstring clipboard_text() override
    {
        char* text = SDL_GetClipboardText();
        std::wstring out = kelvora_from_utf8(text ? text : "");
        SDL_free(text);
        return out;
    }
    void set_clipboard_text(std::wstring_view text) override
    {
        SDL_SetClipboardText(kelvora_to_utf8(text).c_str());
    }

    SdlState m_state;

private:
    std::string* m_error; // where start explains a failure
};

// The backend's functions run only while the SDL device is the one running.
SdlState& sdl() { return static_cast<SdlBackend&>(*device().m_backend).m_state; }

} // namespace
} // namespace platform

namespace kelvora::device {
using namespace platform;

bool start_desktop(std::string* error)
{
    // Without a display server SDL may fall back to the console or an invisible driver; the user would
    // see nothing, so that case is refused up front unless a driver was chosen on purpose.
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland) && !std::getenv("SDL_VIDEODRIVER")) {
        *error = "kelvora: no display available (DISPLAY and WAYLAND_DISPLAY are not set); run it in a desktop session or under Xvfb";
        return false;
    }
    // Only the window's close button goes through the program's exit question; SIGTERM and SIGINT keep
    // their usual meaning instead of SDL's quit event (a session ending must not hang on a dialog).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!start_device(std::make_unique<SdlBackend>(error)))
        return false;
    instances::use_shared_registry();
    return true;
}

} // namespace kelvora::device
