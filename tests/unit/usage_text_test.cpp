#include "help_window/usage_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace duomira {
namespace {

// The text cut at every CR LF; a bare CR or LF stays inside its line, and text
// after the last CR LF comes back as a last line of its own.
std::vector<std::wstring> SplitAtCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    if (begin != text.size()) lines.push_back(text.substr(begin));
    return lines;
}

bool IsFullWidthKatakana(wchar_t c) { return c >= 0x30A0 && c <= 0x30FF; }
bool IsHalfWidthKatakana(wchar_t c) { return c >= 0xFF65 && c <= 0xFF9F; }

class UsageTextTest : public ::testing::Test {
  protected:
    const std::wstring text = BuildUsageText();
    const std::vector<std::wstring> lines = SplitAtCrLf(text);
    // Line n of the text, counted from 1 as the help window shows it.
    const std::wstring& Line(int n) const { return lines.at(static_cast<std::size_t>(n - 1)); }
};

TEST_F(UsageTextTest, Is456CharactersIn20CrLfTerminatedLines) {
    EXPECT_EQ(text.size(), 456u);
    ASSERT_EQ(lines.size(), 20u);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(Line(n).find_first_of(L"\r\n"), std::wstring::npos) << "stray CR or LF, line " << n;
    }
}

TEST_F(UsageTextTest, StartsWithTheRuleAndEndsWithOneCrLfAfterTheLastLine) {
    EXPECT_EQ(text.rfind(L"====================\r\n", 0), 0u);
    ASSERT_GE(text.size(), 4u);
    EXPECT_NE(text.substr(text.size() - 4), L"\r\n\r\n");
}

TEST_F(UsageTextTest, OnlyLines11And16AreEmpty) {
    ASSERT_EQ(lines.size(), 20u);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(Line(n).empty(), n == 11 || n == 16) << "line " << n;
    }
}

TEST_F(UsageTextTest, LineLengths) {
    const std::size_t expected[20] = {20, 9, 20, 36, 28, 19, 34, 16, 18, 46,
                                      0,  20, 8, 20, 40, 0,  20, 11, 20, 31};
    ASSERT_EQ(lines.size(), 20u);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(Line(n).size(), expected[n - 1]) << "line " << n;
    }
}

TEST_F(UsageTextTest, SectionsAreHeadingsBetweenRules) {
    ASSERT_EQ(lines.size(), 20u);
    const std::wstring rule(20, L'=');
    for (int n : {1, 3, 12, 14, 17, 19}) {
        EXPECT_EQ(Line(n), rule) << "line " << n;
    }
    EXPECT_EQ(Line(2), L"\u30d5\u30a1\u30a4\u30eb\u306e\u6bd4\u8f03\u65b9\u6cd5");  // ファイルの比較方法
    EXPECT_EQ(Line(13), L"\u30b9\u30bf\u30a4\u30eb\u5909\u66f4\u65b9\u6cd5");       // スタイル変更方法
    EXPECT_EQ(Line(18), L"Diff\u30c4\u30fc\u30eb\u5909\u66f4\u65b9\u6cd5");          // Diffツール変更方法
}

TEST_F(UsageTextTest, ItemsStartWithACircledDigitAndAFullStop) {
    ASSERT_EQ(lines.size(), 20u);
    const struct {
        int line;
        const wchar_t* start;
    } items[] = {
        {4, L" \u2460."}, {5, L" \u2461."},  {6, L" \u2462."},      {7, L" \u2463."},
        {8, L" \u2464."}, {15, L" \u2460."}, {20, L" \u2460."},     // ① again per section
        {9, L"  \u6ce81) "},                 {10, L"  \u6ce82) "},  // "  注1) ", "  注2) "
    };
    for (const auto& item : items) {
        EXPECT_EQ(Line(item.line).rfind(item.start, 0), 0u) << "line " << item.line;
    }
}

TEST_F(UsageTextTest, ItemsWriteKatakanaHalfWidthAndHeadingsFullWidth) {
    ASSERT_EQ(lines.size(), 20u);
    for (int n = 1; n <= 20; ++n) {
        const bool heading = n == 2 || n == 13 || n == 18;
        for (wchar_t c : Line(n)) {
            if (heading) {
                EXPECT_FALSE(IsHalfWidthKatakana(c)) << "line " << n;
            } else {
                EXPECT_FALSE(IsFullWidthKatakana(c)) << "line " << n;
            }
        }
    }
}

TEST_F(UsageTextTest, ExactItemLines) {
    ASSERT_EQ(lines.size(), 20u);
    // Each line twice: as it reads, and spelt out by code point, so that a
    // character that merely looks right (bracket, solidus, arrow, a voiced-sound
    // mark joined to its kana) can't slip through.
    EXPECT_EQ(Line(4), L" ①.比較するﾌｧｲﾙを右ｸﾘｯｸし【Diffﾂｰﾙで比較】を選択する。");
    EXPECT_EQ(Line(4), L" \u2460.\u6bd4\u8f03\u3059\u308b\uff8c\uff67\uff72\uff99\u3092\u53f3\uff78\uff98\uff6f\uff78\u3057\u3010Diff\uff82\uff70\uff99\u3067\u6bd4\u8f03\u3011\u3092\u9078\u629e\u3059\u308b\u3002");
    EXPECT_EQ(Line(10), L"  注2) ｻﾌﾞﾃﾞｨﾚｸﾄﾘｵﾌﾟｼｮﾝはWindiff／WinMerge使用時のみ有効");
    EXPECT_EQ(Line(10), L"  \u6ce82) \uff7b\uff8c\uff9e\uff83\uff9e\uff68\uff9a\uff78\uff84\uff98\uff75\uff8c\uff9f\uff7c\uff6e\uff9d\u306fWindiff\uff0fWinMerge\u4f7f\u7528\u6642\u306e\u307f\u6709\u52b9");
    EXPECT_EQ(Line(15), L" ①.ｱｲｺﾝをｸﾘｯｸする【最小】→【通常】→【詳細】の順でｽﾀｲﾙ変更する。");
    EXPECT_EQ(Line(15), L" \u2460.\uff71\uff72\uff7a\uff9d\u3092\uff78\uff98\uff6f\uff78\u3059\u308b\u3010\u6700\u5c0f\u3011\u2192\u3010\u901a\u5e38\u3011\u2192\u3010\u8a73\u7d30\u3011\u306e\u9806\u3067\uff7d\uff80\uff72\uff99\u5909\u66f4\u3059\u308b\u3002");
    EXPECT_EQ(Line(20), L" ①.【設定】ﾎﾞﾀﾝを押下しﾂｰﾙの名称とﾊﾟｽを指定する。");
}

}  // namespace
}  // namespace duomira
