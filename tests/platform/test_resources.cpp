// SPDX-License-Identifier: GPL-3.0-or-later
// The resource loader on hand-made .res images: good ones load, damaged ones are refused, and nothing
// is read outside the bytes given (the asan build checks that).
#include "platform_test_support.h"

#include <kelvora_host.h>

#include <cstring>

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// One .res entry: type by ordinal; name by string (keeping these tests apart from the demo's ids), or by
// ordinal when `name` is null.
Bytes entry(unsigned type, const char* name, const Bytes& data, unsigned ordinal = 0)
{
    Bytes header;
    put16(header, 0xFFFF);
    put16(header, type);
    if (name) {
        for (const char* p = name; *p; ++p)
            put16(header, static_cast<unsigned char>(*p));
        put16(header, 0);
    } else {
        put16(header, 0xFFFF);
        put16(header, ordinal);
    }
    while (header.size() % 4)
        header.push_back(0);
    put32(header, 0); // data version
    put16(header, 0); // memory flags
    put16(header, 0x409);
    put32(header, 0); // version
    put32(header, 0); // characteristics
    Bytes out;
    put32(out, static_cast<uint32_t>(data.size()));
    put32(out, static_cast<uint32_t>(header.size() + 8));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), data.begin(), data.end());
    while (out.size() % 4)
        out.push_back(0);
    return out;
}

// A bottom-up 24-bit DIB of w x h pixels, all of one colour (B, G, R), `rows` rows stored.
Bytes dib(int w, int h, int header_height, unsigned char b, unsigned char g, unsigned char r)
{
    Bytes out;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(w));
    put32(out, static_cast<uint32_t>(header_height));
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i)
        put32(out, 0);
    size_t stride = ((static_cast<size_t>(w) * 24 + 31) / 32) * 4;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            out.push_back(b);
            out.push_back(g);
            out.push_back(r);
        }
        for (size_t k = static_cast<size_t>(w) * 3; k < stride; ++k)
            out.push_back(0);
    }
    return out;
}

bool register_bytes(const Bytes& b) { return kelvora_register_resources(b.data(), b.size()); }

} // namespace

TEST_F(PlatformTest, BitmapsFromGoodAndDamagedImages)
{
    Bytes good = dib(3, 2, 2, 0, 0, 255);
    Bytes huge = dib(3, 2, 2, 0, 0, 255);
    huge[4] = 0xFF; // width 255...: far more pixels than bytes
    huge[5] = 0xFF;
    Bytes compressed = dib(3, 2, 2, 0, 0, 255);
    compressed[16] = 1;
    Bytes odd_depth = dib(3, 2, 2, 0, 0, 255);
    odd_depth[14] = 7;
    Bytes cut = dib(3, 2, 2, 0, 0, 255);
    cut.resize(cut.size() - 1);
    Bytes image = entry(2, "BMGOOD", good);
    for (auto [name, data] : {std::pair{"BMHUGE", huge}, std::pair{"BMCOMP", compressed},
                              std::pair{"BMDEPTH", odd_depth}, std::pair{"BMCUT", cut}}) {
        Bytes e = entry(2, name, data);
        image.insert(image.end(), e.begin(), e.end());
    }
    ASSERT_TRUE(register_bytes(image));
    HBITMAP bmp = LoadBitmapW(nullptr, L"bmgood"); // names compare without case
    ASSERT_NE(bmp, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, bmp);
    EXPECT_EQ(GetPixel(memory, 2, 1), RGB(255, 0, 0));
    DeleteDC(memory);
    DeleteObject(bmp);
    for (const wchar_t* bad : {L"BMHUGE", L"BMCOMP", L"BMDEPTH", L"BMCUT"})
        EXPECT_EQ(LoadBitmapW(nullptr, bad), nullptr) << bad;
}

TEST_F(PlatformTest, IconGroupPointsAtItsImageAndDamagedImagesAreRefused)
{
    // Icon image: 32 x 32 green, then an AND mask whose first row (the bottom one) is transparent.
    Bytes icon = dib(32, 32, 64, 0, 200, 0);
    Bytes mask(4 * 32, 0);
    std::memset(mask.data(), 0xFF, 4);
    icon.insert(icon.end(), mask.begin(), mask.end());
    auto group = [](unsigned id) {
        Bytes g;
        put16(g, 0);
        put16(g, 1);
        put16(g, 1);
        g.insert(g.end(), {32, 32, 0, 0});
        put16(g, 1);
        put16(g, 24);
        put32(g, 0);
        put16(g, id);
        return g;
    };
    Bytes truncated(icon.begin(), icon.begin() + 60);
    Bytes image = entry(3, nullptr, icon, 9001); // images are found by ordinal
    for (const Bytes& e : {entry(3, nullptr, truncated, 9002), entry(14, "ICGOOD", group(9001)),
                           entry(14, "ICCUT", group(9002)), entry(14, "ICMISSING", group(9003))})
        image.insert(image.end(), e.begin(), e.end());
    ASSERT_TRUE(register_bytes(image));
    EXPECT_EQ(LoadIconW(nullptr, L"ICCUT"), nullptr);
    EXPECT_EQ(LoadIconW(nullptr, L"ICMISSING"), nullptr);
    HICON good = LoadIconW(nullptr, L"ICGOOD");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(LoadIconW(nullptr, L"ICGOOD"), good); // shared, as resources icons are
    HWND w = top_level();
    kelvora::device::pump();
    HDC dc = GetDC(w);
    DrawIcon(dc, 0, 0, good);
    ReleaseDC(w, dc);
    EXPECT_EQ(screen(5, 26 + 5), RGB(0, 200, 0));
    EXPECT_EQ(screen(5, 26 + 31), RGB(255, 255, 255)); // the masked bottom row shows what was there
}

TEST_F(PlatformTest, EveryTruncationOfAResourceImageIsHandled)
{
    Bytes strings;
    put16(strings, 0);
    put16(strings, 3);
    for (char c : std::string("abc"))
        put16(strings, static_cast<unsigned char>(c));
    Bytes image = entry(6, "TRUNC", strings);
    Bytes bitmap = entry(2, "TRUNCBMP", dib(2, 2, 2, 1, 2, 3));
    image.insert(image.end(), bitmap.begin(), bitmap.end());
    for (size_t n = 0; n < image.size(); ++n) {
        Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n)); // exact size: asan sees overreads
        kelvora_register_resources(cut.data(), cut.size());
    }
    // Still usable afterwards: the complete image reads back.
    ASSERT_TRUE(register_bytes(image));
    EXPECT_NE(FindResourceW(nullptr, L"TRUNC", RT_STRING), nullptr);
}
