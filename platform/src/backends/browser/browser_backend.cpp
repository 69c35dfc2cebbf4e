// SPDX-License-Identifier: GPL-3.0-or-later
// The browser backend: the device screen in the page's canvas, the page's pointer, key and rotation
// events as the stylus and keys, and the Documents folder kept in the browser's storage. The page script
// (web/page.js, the object KelvoraPage) owns the canvas and queues the events; the program waits for them
// through Asyncify, so a nested message loop waits exactly like the main one and an idle page runs nothing.
#include "browser_backend.h"

#include "backends/backend.h"
#include "device/device.h"
#include "shell/instance_registry.h"
#include "shell/menu_bar.h"
#include "wm/input.h"

#include <aygshell.h>
#include <kelvora_host.h>

#include <emscripten.h>

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

// ---- The page's side (web/page.js) ------------------------------------------------------------------

// Shows width x height pixels (0x00RRGGBB, row by row) in the canvas.
EM_JS(void, page_show_screen, (const uint32_t* pixels, int width, int height),
      { KelvoraPage.showScreen(HEAPU32, pixels >> 2, width, height); });

// Resolves when the page has an event for the device (at once when one is queued).
EM_ASYNC_JS(void, page_wait_for_event, (), { await KelvoraPage.nextEvent(); });

// Takes the oldest queued event into out[0..4] (kind, x, y, virtual key, character); 0 when none is left.
EM_JS(int, page_take_event, (int* out), { return KelvoraPage.takeEvent(HEAP32, out >> 2); });

// Mounts the browser's storage on the folder and fills it from there before the program starts.
EM_ASYNC_JS(void, page_open_documents, (const char* folder), {
    await KelvoraPage.openDocuments(FS, FS.filesystems.IDBFS, UTF8ToString(folder));
});

// A file in Documents was written, renamed or removed: the page stores the folder.
EM_JS(void, page_documents_changed, (), { KelvoraPage.documentsChanged(); });

EM_JS(void, page_program_ended, (int status), { KelvoraPage.programEnded(status); });

// Answers the page's question what the device shows on top (see kelvora_page_ask_active_window).
EM_JS(void, page_tell_active_window, (const char* class_name), {
    KelvoraPage.activeWindowIs(UTF8ToString(class_name));
});

namespace platform {
namespace {

// Event kinds as the page numbers them.
enum PageEvent { page_down = 1, page_move, page_up, page_key_down, page_key_up, page_char, page_rotate };

struct BrowserState {
    std::vector<uint32_t> m_shown; // what the canvas shows, so that an unchanged screen is not drawn again
    int m_shown_width = 0;
    int m_shown_height = 0;
    std::string m_documents;       // the folder, and what it held when last looked at
    std::string m_documents_seen;
};

std::string documents_folder_path()
{
    wchar_t path[260] = {}; // the buffer the call fills, as on the device
    if (!SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, TRUE))
        return {};
    return kelvora_to_utf8(path);
}

// Names, sizes and modification times of everything under the folder: a save, a rename or a removal
// changes it. Deep trees are not the program's: four levels are looked at.
void describe_folder(const std::string& folder, int depth, std::string& out)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat st{};
        if (lstat(path.c_str(), &st) != 0)
            continue;
        out += path + '\n' + std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + '.' +
               std::to_string(st.st_mtim.tv_nsec) + '\n';
        if (S_ISDIR(st.st_mode) && depth < 4)
            describe_folder(path, depth + 1, out);
    }
    closedir(dir);
}

void store_documents_when_changed(BrowserState& s)
{
    if (s.m_documents.empty())
        return;
    std::string now;
    describe_folder(s.m_documents, 0, now);
    if (now != s.m_documents_seen) {
        s.m_documents_seen = std::move(now);
        page_documents_changed();
    }
}

void present(BrowserState& s)
{
    const Surface& screen = device().m_screen;
    if (screen.m_width == s.m_shown_width && screen.m_height == s.m_shown_height && screen.m_pixels == s.m_shown)
        return;
    s.m_shown = screen.m_pixels;
    s.m_shown_width = screen.m_width;
    s.m_shown_height = screen.m_height;
    page_show_screen(s.m_shown.data(), s.m_shown_width, s.m_shown_height);
}

void push_page_event(const int (&e)[5])
{
    switch (e[0]) {
    case page_down: push_input({InputKind::Down, e[1], e[2]}); break;
    case page_move: push_input({InputKind::Move, e[1], e[2]}); break;
    case page_up: push_input({InputKind::Up, e[1], e[2]}); break;
    case page_key_down: push_input({InputKind::KeyDown, 0, 0, static_cast<UINT>(e[3])}); break;
    case page_key_up: push_input({InputKind::KeyUp, 0, 0, static_cast<UINT>(e[3])}); break;
    case page_char:
        if (e[4] > 0 && e[4] <= 0x10FFFF && (e[4] < 0xD800 || e[4] > 0xDFFF))
            push_input({InputKind::Char, 0, 0, 0, static_cast<wchar_t>(e[4])});
        break;
    case page_rotate: push_input({InputKind::Rotate}); break;
    default: break; // an event this side does not know: dropped
    }
}

// The program waits: store Documents if a command changed it, then sleep until the page has events.
// What changes in Documents meanwhile is the page's doing (an upload) and already stored by it.
bool wait_for_page(BrowserState& s)
{
    store_documents_when_changed(s);
    page_wait_for_event();
    s.m_documents_seen.clear();
    if (!s.m_documents.empty())
        describe_folder(s.m_documents, 0, s.m_documents_seen);
    int event[5];
    while (page_take_event(event))
        push_page_event(event);
    return true;
}

class BrowserBackend final : public Backend {
public:
    bool wait() override { return wait_for_page(m_state); }
    void present() override { platform::present(m_state); }
    bool keeps_only_documents() const override { return true; }

    BrowserState m_state;
};

} // namespace
} // namespace platform

// The page asks, between the device's waits, whether the device is free for input it means to send as a
// person would: it is told the class of the active top-level window, or "" while a menu is open.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvora_page_ask_active_window()
{
    std::string name;
    wchar_t class_name[64] = {};
    if (!platform::menu_is_open())
        if (HWND active = GetActiveWindow(); active && GetClassNameW(active, class_name, 64) > 0)
            name = kelvora_to_utf8(class_name);
    page_tell_active_window(name.c_str());
}

namespace kelvora::browser {
using namespace platform;

bool start()
{
    auto backend = std::make_unique<BrowserBackend>();
    BrowserState& state = backend->m_state;
    if (!start_device(std::move(backend)))
        return false;
    instances::use_private_registry(); // one page is one device: no other instances to find
    state.m_documents = documents_folder_path();
    if (!state.m_documents.empty()) {
        page_open_documents(state.m_documents.c_str());
        describe_folder(state.m_documents, 0, state.m_documents_seen);
    }
    return true;
}

void program_ended(int status) { page_program_ended(status); }

} // namespace kelvora::browser
