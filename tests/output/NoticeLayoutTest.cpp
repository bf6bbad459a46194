#include "output/NoticeLayout.h"
#include "support/TestSupport.h"

#include <vector>

namespace {

std::string FormatText(size_t capacity, const WCHAR* path)
{
    std::vector<WCHAR> buffer(capacity + 8, 0x7777);
    FormatNoticeText(buffer.data(), capacity, path);
    // Nothing beyond the buffer is touched.
    for (size_t i = capacity; i < buffer.size(); ++i)
        EXPECT_EQ(0x7777, buffer[i]) << "written past the buffer at " << i;
    return Utf8(buffer.data());
}

}  // namespace

TEST(NoticeLayout, TemplateBytes)
{
    std::vector<BYTE> block(NoticeTemplateSize, 0);
    WriteNoticeTemplate(block.data());
    const BYTE expected[24] = {0x80, 0x02, 0x00, 0x80,  // WS_POPUP | DS_SETFOREGROUND | DS_MODALFRAME
                               0, 0, 0, 0,              // extended style
                               0, 0,                    // no controls
                               10, 0, 10, 0,            // x, y
                               200, 0, 150, 0,          // cx, cy
                               0, 0, 0, 0, 0, 0};       // menu, class, title
    for (size_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(expected[i], block[i]) << "offset " << i;
    for (size_t i = sizeof expected; i < block.size(); ++i)
        ASSERT_EQ(0, block[i]) << "offset " << i;
}

TEST(NoticeLayout, PlacementOnBothOrientations)
{
    RECT portrait = NoticeWindowRect(200, 90, 240, 320);
    EXPECT_EQ(19, portrait.left);
    EXPECT_EQ(114, portrait.top);
    EXPECT_EQ(219, portrait.right);
    EXPECT_EQ(204, portrait.bottom);

    RECT landscape = NoticeWindowRect(200, 90, 320, 240);
    EXPECT_EQ(59, landscape.left);
    EXPECT_EQ(74, landscape.top);

    // Odd differences truncate toward zero, as does a screen narrower than
    // the notice.
    RECT odd = NoticeWindowRect(200, 90, 241, 321);
    EXPECT_EQ(19, odd.left);
    EXPECT_EQ(114, odd.top);
    RECT narrow = NoticeWindowRect(200, 90, 197, 85);
    EXPECT_EQ(-2, narrow.left);
    EXPECT_EQ(-3, narrow.top);
}

TEST(NoticeLayout, TheFrameGoesAroundThePaneNotOverIt)
{
    // The pane lies over the copied region (20, 115)-(220, 205) whatever
    // frame the window has around it.
    RECT place = NoticeWindowRect(200, 90, 240, 320);
    RECT handheld = NoticeFramedRect(place, {1, 1, 1, 1});
    EXPECT_EQ(19, handheld.left);
    EXPECT_EQ(114, handheld.top);
    EXPECT_EQ(221, handheld.right);
    EXPECT_EQ(206, handheld.bottom);
    RECT dialogFrame = NoticeFramedRect(place, {3, 3, 3, 3});
    EXPECT_EQ(17, dialogFrame.left);
    EXPECT_EQ(112, dialogFrame.top);
    EXPECT_EQ(223, dialogFrame.right);
    EXPECT_EQ(208, dialogFrame.bottom);
    RECT none = NoticeFramedRect(place, {0, 0, 0, 0});
    EXPECT_EQ(20, none.left);
    EXPECT_EQ(115, none.top);
    EXPECT_EQ(220, none.right);
    EXPECT_EQ(205, none.bottom);
    // A frame that differs by side, as a caption would make it.
    RECT uneven = NoticeFramedRect(NoticeWindowRect(200, 90, 320, 240), {2, 20, 4, 6});
    EXPECT_EQ(58, uneven.left);
    EXPECT_EQ(55, uneven.top);
    EXPECT_EQ(264, uneven.right);
    EXPECT_EQ(171, uneven.bottom);
}

TEST(NoticeLayout, ButtonAndTextRectangles)
{
    RECT button = NoticeButtonRect(200, 90);
    EXPECT_EQ(60, button.left);
    EXPECT_EQ(60, button.top);
    EXPECT_EQ(140, button.right);
    EXPECT_EQ(80, button.bottom);

    RECT text = NoticeTextRect({0, 0, 200, 90});
    EXPECT_EQ(3, text.left);
    EXPECT_EQ(3, text.top);
    EXPECT_EQ(197, text.right);
    EXPECT_EQ(60, text.bottom);
}

TEST(NoticeLayout, TextNamesThePicture)
{
    EXPECT_EQ("Скриншот снят в: \\Temp\\screen00.bmp",
              FormatText(NoticeTextCapacity, L"\\Temp\\screen00.bmp"));
    EXPECT_EQ("Скриншот снят в: ", FormatText(NoticeTextCapacity, L""));
    EXPECT_EQ("Скриншот снят в: ", FormatText(NoticeTextCapacity, nullptr));
}

TEST(NoticeLayout, LongTextIsCutCleanly)
{
    // A folder of 250 characters: 17 + 250 + 13 characters do not fit 259.
    std::u16string path = u"\\" + std::u16string(249, u'd') + u"\\screen00.bmp";
    std::string text = FormatText(NoticeTextCapacity, W(path));
    std::u16string wide = Utf16(text.c_str());
    ASSERT_EQ(259u, wide.size());
    EXPECT_EQ(u"Скриншот снят в: \\ddd", wide.substr(0, 21));
    EXPECT_EQ(u'd', wide[257]);
    EXPECT_EQ(char16_t(0x2026), wide[258]);

    // Exactly full: no cut, no ellipsis.
    std::u16string fits(259 - 17, u'x');
    std::u16string full = Utf16(FormatText(NoticeTextCapacity, W(fits)).c_str());
    EXPECT_EQ(259u, full.size());
    EXPECT_EQ(u'x', full.back());

    // A surrogate pair straddling the cut goes whole.
    std::u16string pairs = std::u16string(240, u'y') + u"\U0001F4F7\U0001F4F7\U0001F4F7";
    std::u16string cut = Utf16(FormatText(NoticeTextCapacity, W(pairs)).c_str());
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(char16_t(0x2026), cut.back());
    EXPECT_LE(cut.size(), 259u);
    char16_t beforeEllipsis = cut[cut.size() - 2];
    EXPECT_FALSE(beforeEllipsis >= 0xD800 && beforeEllipsis <= 0xDBFF);

    // The smallest buffer still ends in a terminator.
    EXPECT_EQ("\xE2\x80\xA6", FormatText(2, L"x"));
}

TEST(NoticeLayout, CountdownText)
{
    WCHAR text[32];
    FormatCountdownText(text, 5);
    EXPECT_EQ("OK (5)", Utf8(text));
    FormatCountdownText(text, 1);
    EXPECT_EQ("OK (1)", Utf8(text));
}
