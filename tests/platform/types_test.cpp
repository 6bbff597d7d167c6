// Win32 type widths, values and helper macros as the library relies on them.
#include "platform_fixture.h"

#include <type_traits>

TEST(Win32Types, WidthsMatchWin32On64Bit)
{
    EXPECT_EQ(sizeof(BYTE), 1u);
    EXPECT_EQ(sizeof(WORD), 2u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(BOOL), 4u);
    EXPECT_EQ(sizeof(HRESULT), 4u);
    EXPECT_EQ(sizeof(ATOM), 2u);
    EXPECT_EQ(sizeof(LONG_PTR), sizeof(void*));
    EXPECT_EQ(sizeof(UINT_PTR), sizeof(void*));
    EXPECT_EQ(sizeof(WPARAM), sizeof(void*));
    EXPECT_EQ(sizeof(LPARAM), sizeof(void*));
    EXPECT_EQ(sizeof(LRESULT), sizeof(void*));
    EXPECT_EQ(sizeof(HWND), sizeof(void*));
    EXPECT_TRUE(std::is_signed<LONG>::value);
    EXPECT_TRUE(std::is_signed<LPARAM>::value);
    EXPECT_FALSE(std::is_signed<WPARAM>::value);
    EXPECT_FALSE(std::is_signed<DWORD>::value);
    // Distinct handle kinds do not convert into each other.
    EXPECT_FALSE((std::is_convertible<HWND, HDC>::value));
    EXPECT_FALSE((std::is_convertible<HBITMAP, HFONT>::value));
    EXPECT_TRUE((std::is_convertible<HBITMAP, HGDIOBJ>::value));
    EXPECT_TRUE((std::is_same<HMODULE, HINSTANCE>::value));
}

// Offsets the headers' static_asserts leave unchecked.
TEST(Win32Types, RecordLayouts)
{
    EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfSize), 2u);
    EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfOffBits), 10u);
    EXPECT_EQ(offsetof(DEVMODEA, dmSize), 36u);
    EXPECT_EQ(offsetof(DEVMODEA, dmPosition), 44u);
    EXPECT_EQ(offsetof(DEVMODEA, dmFormName), 70u);
    EXPECT_EQ(offsetof(DEVMODEA, dmPelsWidth), 108u);
    EXPECT_EQ(offsetof(DEVMODEA, dmPanningHeight), 152u);
}

TEST(Win32Types, SignedAndUnsignedConstants)
{
    EXPECT_LT(E_FAIL, 0);
    EXPECT_EQ(DWORD(E_FAIL), 0x80004005u);
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(SUCCEEDED(S_OK));
    EXPECT_EQ(ENUM_CURRENT_SETTINGS, 0xFFFFFFFFu);
    EXPECT_EQ(CW_USEDEFAULT, int(0x80000000u));
    EXPECT_EQ(DWORD(WS_OVERLAPPEDWINDOW), 0x00CF0000u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(IDC_ARROW), 32512u);
}

TEST(Win32Types, PackingMacros)
{
    EXPECT_EQ(DWORD(MAKELONG(0x1234, 0xABCD)), 0xABCD1234u);
    EXPECT_EQ(LOWORD(0xABCD1234u), 0x1234);
    EXPECT_EQ(HIWORD(0xABCD1234u), 0xABCD);
    // A negative coordinate packed into an LPARAM comes back signed.
    const LPARAM lp = MAKELPARAM(-5, 7);
    EXPECT_EQ(short(LOWORD(lp)), -5);
    EXPECT_EQ(short(HIWORD(lp)), 7);
    EXPECT_EQ(MAKEWPARAM(1, 2), WPARAM(0x00020001));
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(GetRValue(0x00563412u), 0x12);
    EXPECT_EQ(GetGValue(0x00563412u), 0x34);
    EXPECT_EQ(GetBValue(0x00563412u), 0x56);
}

TEST(Win32Text, CaseFoldingIsAsciiOnly)
{
    char name[] = "Data\\IMAGE.KPC\xB0\xC1";
    EXPECT_EQ(_strlwr(name), name);
    EXPECT_STREQ(name, "data\\image.kpc\xB0\xC1");
    EXPECT_EQ(_strlwr(nullptr), nullptr);
    EXPECT_EQ(_stricmp("KestrelWindow", "KESTRELWINDOW"), 0);
    EXPECT_LT(_stricmp("abc", "ABD"), 0);
    EXPECT_GT(_stricmp("b", "A"), 0);
    EXPECT_LT(_stricmp("ab", "abc"), 0);
    EXPECT_GT(_stricmp("\xB0", "a"), 0);  // bytes compare unsigned
    EXPECT_LT(_stricmp(nullptr, "a"), 0);
    EXPECT_EQ(_strnicmp("PNGfile", "pngFILE", 3), 0);
    EXPECT_NE(_strnicmp("PNGfile", "pngx", 4), 0);
    EXPECT_EQ(_strnicmp("abc", "xyz", 0), 0);
    EXPECT_EQ(lstrlenA("kestrel"), 7);
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

// In code page 936, the lead bytes of two-byte characters are 0x81 to 0xFE;
// ASCII, 0x80 and 0xFF stand alone.
TEST(Win32Text, LeadBytesAreThoseOfCodePage936)
{
    const struct {
        int byte;
        bool lead;
    } rows[] = {{0x00, false}, {0x41, false}, {0x7F, false}, {0x80, false}, {0x81, true},
                {0x9F, true},  {0xA0, true},  {0xB0, true},  {0xFE, true},  {0xFF, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.byte);
        EXPECT_EQ(IsDBCSLeadByte(BYTE(row.byte)) != FALSE, row.lead);
    }
}

TEST(Win32Text, FormattingWrappers)
{
    char buf[8];
    EXPECT_EQ(_snprintf(buf, sizeof(buf), "%d-%s", 42, "ab"), 5);
    EXPECT_STREQ(buf, "42-ab");
    // Cut: -1, and only count - 1 characters with a NUL.
    EXPECT_EQ(_snprintf(buf, sizeof(buf), "%s", "0123456789"), -1);
    EXPECT_STREQ(buf, "0123456");
    // A text that fits only without its NUL counts as cut.
    EXPECT_EQ(_snprintf(buf, sizeof(buf), "%s", "01234567"), -1);
    EXPECT_EQ(_snprintf(buf, sizeof(buf), "%s", "0123456"), 7);
    EXPECT_EQ(_snprintf(buf, 0, "%s", ""), 0);

    char big[1100];
    EXPECT_EQ(wsprintfA(big, "%s=%u", "w", 640u), 5);
    EXPECT_STREQ(big, "w=640");
    std::string longText(1500, 'x');
    EXPECT_EQ(wsprintfA(big, "%s", longText.c_str()), 1024);
    EXPECT_EQ(std::strlen(big), 1024u);
}

TEST(Win32Memory, Macros)
{
    BYTE a[6] = {1, 2, 3, 4, 5, 6};
    BYTE b[6];
    CopyMemory(b, a, sizeof(a));
    EXPECT_EQ(std::memcmp(a, b, 6), 0);
    FillMemory(b, 3, 0x7F);
    EXPECT_EQ(b[2], 0x7F);
    EXPECT_EQ(b[3], 4);
    ZeroMemory(b, sizeof(b));
    EXPECT_EQ(b[5], 0);
}
