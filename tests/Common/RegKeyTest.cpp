#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "RegKey.h"
#include "kxtest/RegistryOverride.h"

namespace {

const std::wstring kKey = L"Software\\KxRegKeyTest";

// Everything the readers by name answer for one name, with a preset that shows which bytes a read wrote.
std::tuple<std::wstring, std::wstring, DWORD, bool, std::vector<BYTE>> ReadsOf(const kx::CRegKey& key,
                                                                              const wchar_t* pszName) {
    std::vector<BYTE> bytes(16, 0xA5);
    bool bRead = key.Bytes(pszName, bytes.data(), 16);
    return {key.String(pszName), key.WholeString(pszName), key.Dword(pszName, 0xA5A5A5A5), bRead, bytes};
}

// A key read whole in one pass answers every read by name exactly as the registry does: lookups ignoring
// case, values too big for the reader, strings stored without a terminator (which the registry completes
// when there is room), short numbers over a preset, the default value, missing names.
TEST(RegKeySnapshot, AnswersAsTheRegistry) {
    kxtest::RegistryOverride reg;
    const std::wstring longText(300, L'x');
    const BYTE unterminated[] = {'A', 0, 'B', 0};
    const BYTE odd[] = {1, 2, 3};
    const GUID guid = {0x12345678, 0x90AB, 0xCDEF, {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF}};
    kxtest::SetString(HKEY_CURRENT_USER, kKey, L"Text", L"hello");
    kxtest::SetBinary(HKEY_CURRENT_USER, kKey, L"NoTerm", unterminated, 2, REG_SZ);
    kxtest::SetBinary(HKEY_CURRENT_USER, kKey, L"NoTerm4", unterminated, 4, REG_EXPAND_SZ);
    kxtest::SetBinary(HKEY_CURRENT_USER, kKey, L"Odd", odd, 3);
    kxtest::SetDword(HKEY_CURRENT_USER, kKey, L"Num", 7);
    kxtest::SetString(HKEY_CURRENT_USER, kKey, L"Long", longText);
    kxtest::SetBinary(HKEY_CURRENT_USER, kKey, L"Guid", &guid, sizeof(guid));
    kxtest::SetBinary(HKEY_CURRENT_USER, kKey, nullptr, odd, 0, REG_SZ);

    kx::CRegKey byName(HKEY_CURRENT_USER, kKey), whole(HKEY_CURRENT_USER, kKey), over(HKEY_CURRENT_USER, kKey);
    ASSERT_TRUE(byName.IsOpen());
    EXPECT_TRUE(whole.Snapshot(8));
    EXPECT_FALSE(over.Snapshot(7));  // more values than allowed: reads by name
    const wchar_t* const names[] = {L"Text", L"TEXT", L"noterm", L"NoTerm4", L"Odd", L"Num", L"Long", L"Guid",
                                    L"", nullptr, L"Missing", L"Tex"};
    for (const wchar_t* name : names) {
        EXPECT_EQ(ReadsOf(whole, name), ReadsOf(byName, name)) << (name ? name : L"(null)");
        EXPECT_EQ(ReadsOf(over, name), ReadsOf(byName, name)) << (name ? name : L"(null)");
    }
    // The table above compares like with like only if the reads differ between the names.
    EXPECT_EQ(std::get<1>(ReadsOf(whole, L"Long")), longText);
    EXPECT_EQ(std::get<0>(ReadsOf(whole, L"Long")), L"");
    // Two bytes read over the preset, and the terminator the registry adds over the next two.
    EXPECT_EQ(std::get<2>(ReadsOf(whole, L"noterm")), 0x41u);
    EXPECT_EQ(std::get<2>(ReadsOf(whole, L"Num")), 7u);

    // A key opened again forgets what it read.
    whole.Open(HKEY_CURRENT_USER, kKey + L"\\Nothing");
    EXPECT_EQ(whole.String(L"Text"), L"");
}

}  // namespace
