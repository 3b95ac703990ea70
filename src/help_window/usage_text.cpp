#include "help_window/usage_text.h"

namespace duomira {

std::wstring BuildUsageText() {
    const std::wstring crlf = L"\r\n";
    const std::wstring rule = L"====================";  // 20 equals signs

    // Three sections, each a heading between two rules. The items write their
    // katakana half-width, the headings full-width.
    std::wstring text;
    text += rule + crlf;
    text += L"ファイルの比較方法" + crlf;
    text += rule + crlf;
    text += L" ①.比較するﾌｧｲﾙを右ｸﾘｯｸし【Diffﾂｰﾙで比較】を選択する。" + crlf;
    text += L" ②.ﾃﾞｽｸﾄｯﾌﾟ右上にﾀﾞｲｱﾛｸﾞが表示される。" + crlf;
    text += L" ③.比較に使用するﾂｰﾙを選択する。" + crlf;
    text += L" ④.続けて比較するもう一つのﾌｧｲﾙを右ｸﾘｯｸし同様に選択する。" + crlf;
    text += L" ⑤.選択したﾂｰﾙが起動する。" + crlf;
    text += L"  注1) ﾌｫﾙﾀﾞ比較もできます" + crlf;
    text += L"  注2) ｻﾌﾞﾃﾞｨﾚｸﾄﾘｵﾌﾟｼｮﾝはWindiff／WinMerge使用時のみ有効" + crlf + crlf;

    text += rule + crlf;
    text += L"スタイル変更方法" + crlf;
    text += rule + crlf;
    text += L" ①.ｱｲｺﾝをｸﾘｯｸする【最小】→【通常】→【詳細】の順でｽﾀｲﾙ変更する。" + crlf + crlf;

    text += rule + crlf;
    text += L"Diffツール変更方法" + crlf;
    text += rule + crlf;
    text += L" ①.【設定】ﾎﾞﾀﾝを押下しﾂｰﾙの名称とﾊﾟｽを指定する。" + crlf;
    return text;
}

}  // namespace duomira
