// The resources the capture's end uses: the button face, the sound and the
// high-resolution marker, read back from the linked resource data.

#include "app/Settings.h"
#include "res/resource.h"
#include "support/TestSupport.h"

#include <vector>

namespace {

std::vector<unsigned char> ResourceBytes(const WCHAR* name, const WCHAR* type)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(module, found));
}

}  // namespace

TEST(NoticeResources, ButtonFaceIs80By20With256Colours)
{
    std::vector<unsigned char> dib =
        ResourceBytes(MAKEINTRESOURCEW(IDB_NOTICE_BUTTON), MAKEINTRESOURCEW(2));  // RT_BITMAP
    ASSERT_EQ(40u + 256 * 4 + 80 * 20, dib.size());
    EXPECT_EQ(40u, ReadU32(dib, 0));
    EXPECT_EQ(80u, ReadU32(dib, 4));
    EXPECT_EQ(20u, ReadU32(dib, 8));
    EXPECT_EQ(8u, ReadU16(dib, 14));
    EXPECT_EQ(0u, ReadU32(dib, 16));  // uncompressed
    EXPECT_EQ(256u, ReadU32(dib, 32));

    auto colour = [&](int x, int topRow) {
        unsigned index = dib[40 + 1024 + (19 - topRow) * 80 + x];
        return ReadU32(dib, 40 + index * 4) & 0xFFFFFF;  // 0x00RRGGBB
    };
    EXPECT_EQ(0x1F551Fu, colour(0, 0));
    EXPECT_EQ(0x1F551Fu, colour(79, 19));
    EXPECT_EQ(0x1F551Fu, colour(0, 10));
    EXPECT_EQ(0xFFFFFFu, colour(40, 10));
    // The orange frame darkens from top to bottom, row by row.
    for (int row = 2; row <= 18; ++row) {
        unsigned above = colour(1, row - 1), here = colour(1, row);
        EXPECT_LT(here & 0xFF00, above & 0xFF00) << row;
        EXPECT_EQ(here, colour(78, row)) << row;
    }

    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_NOTICE_BUTTON));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info;
    ASSERT_EQ(static_cast<int>(sizeof info), GetObjectW(bitmap, sizeof info, &info));
    EXPECT_EQ(80, info.bmWidth);
    EXPECT_EQ(20, info.bmHeight);
    DeleteObject(bitmap);
}

TEST(NoticeResources, SoundIsAQuarterSecondOfPcm)
{
    std::vector<unsigned char> wave = ResourceBytes(MAKEINTRESOURCEW(IDW_DONE_SOUND), L"WAVE");
    ASSERT_EQ(44u + 2776, wave.size());
    EXPECT_EQ(0, memcmp(wave.data(), "RIFF", 4));
    EXPECT_EQ(36u + 2776, ReadU32(wave, 4));
    EXPECT_EQ(0, memcmp(wave.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(16u, ReadU32(wave, 16));
    EXPECT_EQ(1u, ReadU16(wave, 20));      // PCM
    EXPECT_EQ(1u, ReadU16(wave, 22));      // mono
    EXPECT_EQ(11025u, ReadU32(wave, 24));  // samples per second
    EXPECT_EQ(11025u, ReadU32(wave, 28));
    EXPECT_EQ(1u, ReadU16(wave, 32));
    EXPECT_EQ(8u, ReadU16(wave, 34));
    EXPECT_EQ(0, memcmp(wave.data() + 36, "data", 4));
    EXPECT_EQ(2776u, ReadU32(wave, 40));

    // Bursts of noise between silences, the first one loud.
    int loud = 0, silent = 0;
    for (size_t i = 44; i < wave.size(); ++i) {
        int level = wave[i] - 128;
        loud += level > 40 || level < -40;
        silent += level == 0;
    }
    EXPECT_GT(loud, 100);
    EXPECT_GT(silent, 1000);
}

TEST(NoticeResources, HighResolutionMarkerIsTheWordOne)
{
    std::vector<unsigned char> marker = ResourceBytes(L"HI_RES_AWARE", L"CEUX");
    ASSERT_EQ(2u, marker.size());
    EXPECT_EQ(1u, ReadU16(marker, 0));
}

TEST(NoticeResources, SoundPlaysWithoutWaiting)
{
    // The tests run without a sound device: the call must neither fail the
    // process nor hold it up.
    DWORD start = GetTickCount();
    PlaySoundW(MAKEINTRESOURCEW(IDW_DONE_SOUND), GetModuleHandleW(nullptr),
               SND_RESOURCE | SND_ASYNC);
    EXPECT_LT(GetTickCount() - start, 500u);
    PumpMessages(400);
    PlaySoundW(nullptr, nullptr, 0);
}
