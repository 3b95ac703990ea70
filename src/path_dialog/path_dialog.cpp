#include "path_dialog/path_dialog.h"

#include "path_dialog/path_dialog_layout.h"

namespace duomira {

bool PathDialog::Form_Activate() {
    // All six are read before any box changes, names first.
    std::array<std::wstring, kToolCount> names;
    std::array<std::wstring, kToolCount> paths;
    for (int i = 0; i < kToolCount; ++i) {
        auto name = ReadSetting(store_, kToolNameKeys[i]);
        if (!name) return false;
        names[i] = std::move(*name);
    }
    for (int i = 0; i < kToolCount; ++i) {
        auto path = ReadToolPath(store_, i, probe_);
        if (!path) return false;
        paths[i] = std::move(*path);
    }
    for (int i = 0; i < kToolCount; ++i) view_.SetNameBox(i, names[i]);
    for (int i = 0; i < kToolCount; ++i) view_.SetPathBox(i, paths[i]);
    return true;
}

void PathDialog::Browse(int tool) {
    // Only the two diff tools have a browse button; the FC command is typed.
    if (tool < 0 || tool > 1) return;
    const BrowseStart start = BrowseStartFor(view_.PathBox(tool), browseFileName_);
    auto chosen = view_.BrowseForFile(start.folder, start.fileName);
    if (!chosen) return;
    browseFileName_ = *chosen;
    view_.SetPathBox(tool, *chosen);
}

bool PathDialog::Command3_Click() {
    std::array<std::wstring, kToolCount> names;
    for (int i = 0; i < kToolCount; ++i) names[i] = view_.NameBox(i);
    // Paths first, then names; each box as it stands, empty ones included.
    for (int i = 0; i < kToolCount; ++i) {
        if (!WriteSetting(store_, kToolPathKeys[i], view_.PathBox(i))) return false;
    }
    for (int i = 0; i < kToolCount; ++i) {
        if (!WriteSetting(store_, kToolNameKeys[i], names[i])) return false;
    }
    // Loads the main window's model if the dialog came before it (start-up error path).
    if (!mainWindow_.SetOptionCaptions(names)) return false;
    view_.Hide();
    return true;
}

BrowseStart BrowseStartFor(std::wstring_view boxPath, std::wstring_view rememberedFile) {
    if (boxPath.size() >= 2 && boxPath.front() == L'"') {
        boxPath.remove_prefix(1);
        boxPath = boxPath.substr(0, boxPath.find(L'"'));
    }
    const size_t slash = boxPath.rfind(L'\\');
    if (slash == std::wstring_view::npos) {
        return {std::wstring(kBrowseInitialFolder), std::wstring(rememberedFile)};
    }
    // npos + 1 is 0: a remembered name without a folder stays whole.
    const size_t nameStart = rememberedFile.find_last_of(L"\\/") + 1;
    return {std::wstring(boxPath.substr(0, slash + 1)),
            std::wstring(rememberedFile.substr(nameStart))};
}

}  // namespace duomira
