#include "platform/ShellShortcut.h"
#include "support/ShellLinkReader.h"
#include "support/TestSupport.h"

namespace {

struct Split {
    bool ok;
    std::string program;
    std::string arguments;
    bool operator==(const Split& other) const
    {
        return ok == other.ok && program == other.program && arguments == other.arguments;
    }
};

std::ostream& operator<<(std::ostream& out, const Split& split)
{
    return out << split.ok << " [" << split.program << "] [" << split.arguments << "]";
}

Split SplitOf(const WCHAR* target)
{
    ShortcutCommand command;
    bool ok = SplitShortcutTarget(target, command);
    return {ok, Utf8(command.program), Utf8(command.arguments)};
}

}  // namespace

TEST(ShellShortcut, SplitsQuotedAndPlainTargets)
{
    EXPECT_EQ((Split{true, "C:\\Program Files\\Tavro\\tavro.exe", "-config"}),
              SplitOf(L"\"C:\\Program Files\\Tavro\\tavro.exe\" -config"));
    EXPECT_EQ((Split{true, "C:\\Program Files\\Tavro\\tavro.exe", ""}),
              SplitOf(L"\"C:\\Program Files\\Tavro\\tavro.exe\""));
    EXPECT_EQ((Split{true, "\\Windows\\tavro.exe", "5 -x"}), SplitOf(L"\\Windows\\tavro.exe 5 -x"));
    EXPECT_EQ((Split{true, "a.exe", ""}), SplitOf(L"  a.exe  "));
    EXPECT_EQ((Split{false, "", ""}), SplitOf(L""));
    EXPECT_EQ((Split{false, "", ""}), SplitOf(L"\"\" -config"));
    EXPECT_EQ((Split{false, "", ""}), SplitOf(L"\"C:\\no closing quote -config"));
    EXPECT_EQ((Split{false, "", ""}), SplitOf(nullptr));
    // A program name that cannot fit its field is refused, not cut.
    std::u16string longName = u"\"" + std::u16string(MAX_PATH, u'p') + u"\"";
    EXPECT_FALSE(SplitOf(W(longName)).ok);
}

TEST(ShellShortcut, WritesALinkTheShellReadsBack)
{
    ScratchFolder folder;
    std::u16string link = folder.Join("With Space.lnk");
    std::u16string target = u"\"C:\\Program Files\\Some Tool\\tool.exe\" -config";
    ASSERT_TRUE(SHCreateShortcut(const_cast<WCHAR*>(W(link)), const_cast<WCHAR*>(W(target))));
    LinkContents contents = ReadShellLink(W(link));
    ASSERT_TRUE(contents.loaded);
    EXPECT_EQ("C:\\Program Files\\Some Tool\\tool.exe", contents.path);
    EXPECT_EQ("-config", contents.arguments);
    EXPECT_EQ("C:\\", contents.workingFolder);

    // An existing link is replaced.
    std::u16string other = u"\"C:\\other.exe\"";
    ASSERT_TRUE(SHCreateShortcut(const_cast<WCHAR*>(W(link)), const_cast<WCHAR*>(W(other))));
    contents = ReadShellLink(W(link));
    EXPECT_EQ("C:\\other.exe", contents.path);
    EXPECT_EQ("", contents.arguments);
}

TEST(ShellShortcut, RefusesWhatItCannotWrite)
{
    ScratchFolder folder;
    std::u16string link = folder.Join("bad.lnk");
    WCHAR empty[] = L"";
    WCHAR unclosed[] = L"\"C:\\a b.exe -config";
    EXPECT_FALSE(SHCreateShortcut(const_cast<WCHAR*>(W(link)), empty));
    EXPECT_FALSE(SHCreateShortcut(const_cast<WCHAR*>(W(link)), unclosed));
    EXPECT_FALSE(FileExists(W(link)));
    WCHAR target[] = L"\"C:\\a.exe\"";
    WCHAR noName[] = L"";
    EXPECT_FALSE(SHCreateShortcut(noName, target));
    std::u16string missingFolder = folder.Join("missing\\x.lnk");
    EXPECT_FALSE(SHCreateShortcut(const_cast<WCHAR*>(W(missingFolder)), target));
}
