#include "platform/layout.h"

namespace duomira {

const ControlLayout* FindControl(const WindowLayout& layout, int id) {
    for (const auto& control : layout.controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

TwipsRect ClientRectOf(const WindowLayout& layout, const ControlLayout& control) {
    TwipsRect rect{control.left, control.top, control.width, control.height};
    int container = control.container;
    // Containers nest only a few levels deep; the bound guards against a cycle.
    for (int depth = 0; container != kWindowClient && depth < 8; ++depth) {
        const ControlLayout* frame = FindControl(layout, container);
        if (!frame) break;
        rect.left += frame->left;
        rect.top += frame->top;
        container = frame->container;
    }
    return rect;
}

}  // namespace duomira
