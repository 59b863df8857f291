#include "app/file_name_grant.h"

#include <gtest/gtest.h>

#include <string>

namespace vaq {
namespace {

const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

struct NameCase {
  const char* what;
  std::u16string path;
  bool accepted;
  size_t viewed = std::u16string::npos;  // how much of the path the parser is shown
};

class FileNameGrant : public testing::TestWithParam<NameCase> {};

TEST_P(FileNameGrant, YieldsTheGrantOrNothing) {
  const NameCase& c = GetParam();
  EXPECT_EQ(ParseInstallerFileName(std::u16string_view(c.path).substr(0, c.viewed)),
            c.accepted ? kGrant : u"")
      << c.what;
}

const std::u16string kName = u"VAQ-Setup-" + kGrant;

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameGrant,
    testing::Values(
        NameCase{"full path, plain name", u"C:\\Users\\a\\Downloads\\" + kName + u".exe", true},
        NameCase{"no separator: whole path is the name", kName + u".exe", true},
        NameCase{"forward slashes", u"C:/x/y/" + kName + u".exe", true},
        NameCase{"mixed separators, last counts", u"C:\\a/b\\c/" + kName + u".exe", true},
        NameCase{"mixed separators, backslash last", u"C:/a\\" + kName + u".exe", true},
        NameCase{"a view that stops inside the extension", kName + u".exe", false, kName.size() + 3},
        NameCase{"copy number 1", kName + u" (1).exe", true},
        NameCase{"copy number 0", kName + u" (0).exe", true},
        NameCase{"copy number 007", kName + u" (007).exe", true},
        NameCase{"copy number of eight digits", kName + u" (12345678).exe", true},
        NameCase{"copy number of nine digits", kName + u" (123456789).exe", false},
        NameCase{"empty copy number", kName + u" ().exe", false},
        NameCase{"letter in copy number", kName + u" (1a).exe", false},
        NameCase{"no space before parenthesis", kName + u"(1).exe", false},
        NameCase{"space before extension", kName + u" (1) .exe", false},
        NameCase{"copy form with upper-case extension", kName + u" (1).EXE", false},
        NameCase{"upper-case extension", kName + u".EXE", false},
        NameCase{"mixed-case extension", kName + u".Exe", false},
        NameCase{"lower-case prefix", u"vaq-setup-" + kGrant + u".exe", false},
        NameCase{"upper-case hex digit", u"VAQ-Setup-" + kGrant.substr(0, 63) + u"F.exe", false},
        NameCase{"grant of 63", u"VAQ-Setup-" + kGrant.substr(0, 63) + u".exe", false},
        NameCase{"grant of 65", u"VAQ-Setup-" + kGrant + u"0.exe", false},
        NameCase{"doubled extension", kName + u".exe.exe", false},
        NameCase{"path ending in a separator", u"C:\\dir\\", false},
        NameCase{"empty path", u"", false},
        NameCase{"short name", u"VAQ-Setup-.exe", false},
        NameCase{"other four-character tail", kName + u".com", false},
        NameCase{"grant in a folder name only", u"C:\\" + kName + u".exe\\setup.exe", false}));

TEST(FileNameGrantLengths, Form1NeedsSeventyEightAndForm2EightyTwo) {
  const std::u16string form1 = kName + u".exe";
  const std::u16string form2 = kName + u" (1).exe";
  EXPECT_EQ(form1.size(), 78u);
  EXPECT_EQ(form2.size(), 82u);
  EXPECT_EQ(ParseInstallerFileName(form1), kGrant);
  EXPECT_EQ(ParseInstallerFileName(form2), kGrant);
  EXPECT_EQ(ParseInstallerFileName(form1.substr(0, 77)), u"");
}

}  // namespace
}  // namespace vaq
