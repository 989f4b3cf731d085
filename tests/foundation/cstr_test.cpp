#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "foundation/cstr.h"

namespace {

// An empty CSTR owns no buffer; two such strings compare equal because both
// texts are the same (absent) pointer. A string holding an allocated but empty
// buffer would compare unequal.
bool OwnsNoBuffer(const CSTR& s)
{
    return s.Length() == 0 && s == CSTR();
}

TEST(CstrAppend, OwnTextEmptyAndNoneChangeNothing)
{
    CSTR s("abc");
    const char* before = s.String();
    EXPECT_EQ(before, s.Append(s.String()));
    EXPECT_EQ(before, s.Append(""));
    EXPECT_EQ(before, s.Append(nullptr));
    EXPECT_STREQ("abc", s.String());

    CSTR empty;
    empty.Append("");
    empty.Append(nullptr);
    EXPECT_TRUE(OwnsNoBuffer(empty));
}

TEST(CstrAppend, ReallocatesExactlyAndConcatenates)
{
    CSTR s("ab");
    const char* before = s.String();
    s += "cd";
    s += CSTR("e");
    EXPECT_STREQ("abcde", s.String());
    EXPECT_EQ(5u, s.Length());
    EXPECT_NE(before, s.String());
}

TEST(CstrInsert, BoundsAndPositions)
{
    CSTR s("ab");
    s.Insert("x", s.Length());
    EXPECT_STREQ("ab", s.String());
    s.Insert("x", 7);
    EXPECT_STREQ("ab", s.String());

    CSTR front("ab");
    front.Insert("x", 0);
    EXPECT_STREQ("xab", front.String());

    CSTR middle("ab");
    middle.Insert("xy", 1);
    EXPECT_STREQ("axyb", middle.String());
    EXPECT_EQ(4u, middle.Length());

    CSTR empty;
    empty.Insert("x", 0);
    EXPECT_TRUE(OwnsNoBuffer(empty));

    CSTR self("abc");
    self.Insert(self.String(), 1);
    EXPECT_STREQ("abc", self.String());
}

TEST(CstrAssign, Integers)
{
    CSTR s;
    s = 0;
    EXPECT_STREQ("0", s.String());
    EXPECT_EQ(1u, s.Length());
    s = -5;
    EXPECT_STREQ("-5", s.String());
    EXPECT_EQ(2u, s.Length());
    s = 1234567;
    EXPECT_EQ(7u, s.Length());
    s = INT_MIN;
    EXPECT_STREQ("-2147483648", s.String());
    EXPECT_EQ(11u, s.Length());
    s = INT_MAX;
    EXPECT_STREQ("2147483647", s.String());
    EXPECT_STREQ("-9", CSTR(-9).String());
}

TEST(CstrAssign, TextsCopiesAndSelf)
{
    CSTR a("hello");
    CSTR b;
    b = a;
    a = "other";
    EXPECT_STREQ("hello", b.String());
    EXPECT_STREQ("other", a.String());

    CSTR copy(b);
    b.Remove();
    EXPECT_STREQ("hello", copy.String());

    copy = copy;
    EXPECT_STREQ("hello", copy.String());
    copy = copy.String(2);  // a pointer into the string's own text
    EXPECT_STREQ("llo", copy.String());

    copy = "";
    EXPECT_TRUE(OwnsNoBuffer(copy));
    copy = static_cast<const char*>(nullptr);
    EXPECT_TRUE(OwnsNoBuffer(copy));
}

TEST(CstrEquality, IsAPrefixTestOfTheOwnLength)
{
    EXPECT_TRUE(CSTR("ab") == "abc");
    EXPECT_FALSE(CSTR("abc") == "ab");
    EXPECT_TRUE(CSTR("abc") == CSTR("abc"));
    EXPECT_FALSE(CSTR("abc") == "abd");
    EXPECT_TRUE(CSTR() == CSTR());
    EXPECT_FALSE(CSTR("a") == "");
    EXPECT_FALSE(CSTR("a") == static_cast<const char*>(nullptr));
    EXPECT_FALSE(CSTR() == "a");
}

TEST(CstrCompare, CountZeroMeansOwnLength)
{
    CSTR s("abcdef");
    EXPECT_TRUE(s.Compare("abcxyz", 3));
    EXPECT_FALSE(s.Compare("abcxyz", 4));
    EXPECT_FALSE(s.Compare("abcxyz", 0));
    EXPECT_TRUE(s.Compare("abcdefgh", 0));
    EXPECT_TRUE(s.Compare(s.String(), 99));
    EXPECT_FALSE(s.Compare("", 0));
    EXPECT_FALSE(CSTR().Compare("a", 1));
}

TEST(CstrCase, OnlyAsciiLettersChange)
{
    CSTR s("aZ\x81\x8E\xe0q1");
    s.Upper();
    EXPECT_STREQ("AZ\x81\x8E\xe0Q1", s.String());
    s.Convert(false);
    EXPECT_STREQ("az\x81\x8E\xe0q1", s.String());
    CSTR empty;
    EXPECT_EQ(nullptr, empty.Upper());
}

TEST(CstrParse, RadixesAndPrefixes)
{
    EXPECT_EQ(255, CSTR("ff").Hex());
    EXPECT_EQ(255, CSTR("0xff").Hex());
    EXPECT_EQ(12, CSTR("12abc").Dec());
    EXPECT_EQ(5, CSTR("101").Bit());
    EXPECT_EQ(15, CSTR("17").Oct());
    const CSTR prefixedHex("0x1F"), prefixedOct("010");  // const: the radix overload
    EXPECT_EQ(31, prefixedHex.Convert(0));
    EXPECT_EQ(8, prefixedOct.Convert(0));
    CSTR plain("ff");  // not const: still the radix overload, never the bool one
    EXPECT_EQ(255, plain.Convert(16));
    EXPECT_STREQ("ff", plain.String());
    EXPECT_STREQ("FF", plain.Convert(true));
    EXPECT_EQ(INT_MIN, CSTR("-2147483648").Dec());
    EXPECT_EQ(INT_MAX, CSTR("7fffffff").Hex());
    EXPECT_EQ(0, CSTR().Dec());
    EXPECT_EQ(0, CSTR("").Hex());
}

TEST(CstrTrim, DefaultSetIsWhiteSpace)
{
    CSTR s("  a b\t");
    s.Trim();
    EXPECT_STREQ("a b", s.String());
    EXPECT_EQ(3u, s.Length());
}

TEST(CstrTrim, TrimmingEverythingOwnsNoBuffer)
{
    CSTR blanks("   ");
    blanks.TrimRight(" ");
    EXPECT_TRUE(OwnsNoBuffer(blanks));

    CSTR left("xxx");
    left.TrimLeft("x");
    EXPECT_TRUE(OwnsNoBuffer(left));

    CSTR empty;
    empty.Trim();
    EXPECT_TRUE(OwnsNoBuffer(empty));
}

TEST(CstrTrim, ExplicitSets)
{
    CSTR s("  ab  ");
    s.TrimLeft("");
    EXPECT_STREQ("  ab  ", s.String());

    CSTR t("-=ab=-");
    t.Trim("=-");
    EXPECT_STREQ("ab", t.String());

    CSTR u("ab  ");
    u.TrimLeft(" ");
    EXPECT_STREQ("ab  ", u.String());
    u.TrimRight(" ");
    EXPECT_STREQ("ab", u.String());
}

TEST(CstrString, IndexesIntoTheText)
{
    CSTR s("abc");
    EXPECT_STREQ("bc", s.String(1));
    EXPECT_STREQ("", s.String(3));
    EXPECT_STREQ("", CSTR().String());
}

}  // namespace
