// Window layouts as data: every control's kind, container, place and size in
// twips, tab index, caption and colours. The Win32 layer realises a layout;
// the portable code and the tests read the same table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace duomira {

inline constexpr int kTwipsPerInch = 1440;

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kLightYellow{255, 255, 192};
inline constexpr Rgb kWhite{255, 255, 255};

enum class ControlKind { Image, OptionButton, CheckBox, CommandButton, Frame, Label, TextBox };
enum class TextAlign { Left, Right, Center };
enum class ControlFont { Default, SmallGothic };

inline constexpr int kNoTabIndex = -1;
inline constexpr int kWindowClient = 0;  // container id of the window's client area

struct ControlLayout {
    std::wstring_view name;  // the control's name, e.g. L"Option1(2)"
    int id;
    ControlKind kind;
    int container;  // kWindowClient, or the id of the frame that holds it
    int left, top, width, height;  // twips, relative to the container
    int tabIndex;
    std::wstring_view caption;
    std::optional<Rgb> background;  // nullopt: the system's own colour for the kind
    TextAlign align = TextAlign::Left;
    ControlFont font = ControlFont::Default;
};

struct TwipsRect {
    int left, top, width, height;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

struct WindowLayout {
    std::wstring_view caption;
    int clientWidth, clientHeight;  // twips
    Rgb background;
    std::span<const ControlLayout> controls;
};

// Pixels for a length in twips at a given DPI, rounded to the nearest pixel.
constexpr int TwipsToPixels(long twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                        : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

constexpr long PixelsToTwips(long pixels, int dpi) {
    return dpi > 0 ? (static_cast<long long>(pixels) * kTwipsPerInch + dpi / 2) / dpi : 0;
}

// The control of that id in the layout, or nullptr.
const ControlLayout* FindControl(const WindowLayout& layout, int id);

// A control's rectangle in client coordinates: its container offsets added.
TwipsRect ClientRectOf(const WindowLayout& layout, const ControlLayout& control);

}  // namespace duomira
