#include "collect/registry/RegistryFormat.h"
#include "collect/registry/RegistryRoot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes utf16(const std::u16string& text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace

TEST(RegistryFormat, TypeNamesCoverTheKnownTypesOnly) {
    const std::pair<std::uint32_t, const wchar_t*> names[] = {
        {0, L"none"},    {1, L"String"},  {2, L"ExpandString"}, {3, L"Binary"},   {4, L"DWORD"},
        {5, L"unknown"}, {6, L"Link"},    {7, L"MultiString"},  {8, L"unknown"},  {9, L"unknown"},
        {10, L"unknown"}, {11, L"QWORD"}, {12, L"unknown"},     {0xFFFFFFFF, L"unknown"},
    };
    for (const auto& [type, name] : names) EXPECT_EQ(typeName(type), name) << type;
}

TEST(RegistryFormat, StringsLoseTheirTerminatorsAndKeepEveryCharacter) {
    EXPECT_EQ(formatData(1, utf16(u"C:\\Program Files")), L"C:\\Program Files");
    EXPECT_EQ(formatData(1, utf16(std::u16string(u"hi\0", 3))), L"hi");
    EXPECT_EQ(formatData(2, utf16(std::u16string(u"%SystemRoot%\\x\0", 15))), L"%SystemRoot%\\x");
    EXPECT_EQ(formatData(1, {}), L"");
    // Characters beyond Latin-1 and beyond the plane arrive whole.
    const std::wstring text = formatData(1, utf16(u"\u20AC\u0100\U0001F600"));
    EXPECT_EQ(text.substr(0, 2), L"\u20AC\u0100");
    EXPECT_EQ(text.size(), sizeof(wchar_t) == 2 ? 4u : 3u);
    // A lone odd byte stands for itself.
    EXPECT_EQ(formatData(1, Bytes{'a', 0, 'b'}), L"ab");
    EXPECT_EQ(formatData(6, utf16(u"\\Registry\\Machine\\Target")), L"\\Registry\\Machine\\Target");
}

TEST(RegistryFormat, MultiStringsSeparateWithBarsAndDropTheLastBar) {
    EXPECT_EQ(formatData(7, {}), L"");
    EXPECT_EQ(formatData(7, utf16(std::u16string(u"x\0\0", 3))), L"x|");
    EXPECT_EQ(formatData(7, utf16(std::u16string(u"a\0b\0\0", 5))), L"a|b|");
    EXPECT_EQ(formatData(7, utf16(std::u16string(u"\0", 1))), L"");
    EXPECT_EQ(formatData(7, utf16(std::u16string(u"\u00e4\u20ac\0\0", 4))), L"\u00e4\u20ac|");
}

TEST(RegistryFormat, BinaryIsADumpOfEightUnitsALine) {
    EXPECT_EQ(formatData(3, {}), L"in utf-16: \n");
    EXPECT_EQ(formatData(3, Bytes{1, 171}), L"in utf-16: \n0x0001 0x00ab ");
    EXPECT_EQ(formatData(3, Bytes{0, 1, 2, 3, 4, 5, 6, 255}),
              L"in utf-16: \n0x0000 0x0001 0x0002 0x0003 0x0004 0x0005 0x0006 0x00ff \n");
    EXPECT_EQ(formatData(3, Bytes{0, 1, 2, 3, 4, 5, 6, 7, 16}),
              L"in utf-16: \n0x0000 0x0001 0x0002 0x0003 0x0004 0x0005 0x0006 0x0007 \n0x0010 ");
    EXPECT_EQ(formatData(0, Bytes{0xde, 0xad}), L"kein Daten Typ\n0x00de 0x00ad ");
    EXPECT_EQ(formatData(0, {}), L"kein Daten Typ\n");
}

TEST(RegistryFormat, NumbersAreUnsignedLittleEndian) {
    EXPECT_EQ(formatData(4, Bytes{0xff, 0xff, 0xff, 0xff}), L"4294967295");
    EXPECT_EQ(formatData(4, Bytes{5, 0, 0, 0, 9}), L"5");
    EXPECT_EQ(formatData(11, Bytes{0, 0, 0, 0, 1, 0, 0, 0}), L"4294967296");
    EXPECT_EQ(formatData(11, Bytes(8, 0xff)), L"18446744073709551615");
    // Short data counts with the bytes it has; no data shows no number.
    EXPECT_EQ(formatData(4, Bytes{0x34, 0x12}), L"4660");
    EXPECT_EQ(formatData(11, Bytes{1, 0, 0, 0}), L"1");
    EXPECT_EQ(formatData(4, {}), L"");
    EXPECT_EQ(formatData(11, {}), L"");
}

TEST(RegistryFormat, OtherTypesAreNamedUnknown) {
    EXPECT_EQ(formatData(5, Bytes{0, 0, 0, 1}), L"Unbekannter RegValue Typ");
    EXPECT_EQ(formatData(8, Bytes{1}), L"Unbekannter RegValue Typ");
}

TEST(RegistryPath, SplitsAtTheFirstAndLastBackslash) {
    using namespace registry_path;
    const std::wstring product = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName";
    EXPECT_EQ(rootName(product), L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(splitValuePath(product).subKey, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\");
    EXPECT_EQ(splitValuePath(product).valueName, L"ProductName");
    EXPECT_EQ(keyPath(product), L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName");

    EXPECT_EQ(splitValuePath(L"HKEY_USERS\\Key\\").subKey, L"Key\\");
    EXPECT_EQ(splitValuePath(L"HKEY_USERS\\Key\\").valueName, L"");
    EXPECT_EQ(splitValuePath(L"HKEY_USERS\\Value").subKey, L"");
    EXPECT_EQ(splitValuePath(L"HKEY_USERS\\Value").valueName, L"Value");
    EXPECT_EQ(splitValuePath(L"HKEY_USERS").subKey, L"");
    EXPECT_EQ(splitValuePath(L"HKEY_USERS").valueName, L"HKEY_USERS");

    EXPECT_EQ(rootName(L"HKEY_USERS"), L"HKEY_USERS");
    EXPECT_EQ(keyPath(L"HKEY_USERS"), L"HKEY_USERS");
    EXPECT_EQ(keyPath(L"HKEY_USERS\\"), L"");
    EXPECT_EQ(rootName(L" HKEY_USERS\\x "), L" HKEY_USERS");
    EXPECT_EQ(keyPath(L" HKEY_USERS\\x "), L"x ");

    EXPECT_EQ(childPath(L"HKEY_USERS\\A", L"B"), L"HKEY_USERS\\A\\B");
    EXPECT_EQ(childPath(L"HKEY_USERS\\", L"B"), L"HKEY_USERS\\B");
}
