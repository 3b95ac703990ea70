#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <stdexcept>

#include "fakes.h"
#include "path_dialog/path_dialog.h"
#include "path_dialog/path_dialog_ids.h"
#include "path_dialog/path_dialog_layout.h"

namespace duomira {
namespace {

using fakes::FakeHost;

// The dialog's boxes without a window; the file-open dialog answers from a queue.
class FakePathView : public PathDialogView {
  public:
    std::array<std::wstring, 3> paths;
    std::array<std::wstring, 3> names;
    int hides = 0;
    std::deque<std::optional<std::wstring>> browseAnswers;
    std::vector<std::wstring> browseOpenedWith;
    std::vector<std::wstring> browseOpenedIn;

    std::wstring PathBox(int tool) override { return paths.at(tool); }
    std::wstring NameBox(int tool) override { return names.at(tool); }
    void SetPathBox(int tool, std::wstring_view text) override { paths.at(tool) = text; }
    void SetNameBox(int tool, std::wstring_view text) override { names.at(tool) = text; }
    void Hide() override { ++hides; }
    std::optional<std::wstring> BrowseForFile(std::wstring_view folder,
                                              std::wstring_view current) override {
        browseOpenedIn.emplace_back(folder);
        browseOpenedWith.emplace_back(current);
        if (browseAnswers.empty()) {
            ADD_FAILURE() << "the file-open dialog opened more often than the test has answers for";
            return std::nullopt;
        }
        auto answer = browseAnswers.front();
        browseAnswers.pop_front();
        return answer;
    }
};

class PathDialogTest : public ::testing::Test {
  protected:
    std::vector<std::wstring> Writes() const {
        std::vector<std::wstring> writes;
        for (const auto& entry : store.log) {
            if (entry.starts_with(L"set:")) writes.push_back(entry.substr(4));
        }
        return writes;
    }

    MemorySettingsBackend store;
    SharedVariables shared;
    FakeHost host;
    MainWindow mainWindow{store, shared, host};
    FakePathView view;
    PathDialog dialog{store, mainWindow, view};
};

TEST_F(PathDialogTest, ActivationShowsDefaultsForAbsentKeysAndStoredValuesAsTheyAre) {
    ASSERT_TRUE(dialog.Form_Activate());
    EXPECT_EQ(view.paths, (std::array<std::wstring, 3>{L"WINDIFF.exe", L"WINMERGE.exe", L"FC"}));
    EXPECT_EQ(view.names,
              (std::array<std::wstring, 3>{L"WINDIFFで比較", L"WINMERGEで比較", L"結果を出力"}));
    // Names first, then paths, read from the store itself.
    EXPECT_EQ(store.log, (std::vector<std::wstring>{
                             L"get:WinDiffName", L"get:WinMergeName", L"get:CmdName",
                             L"get:WinDiffPath", L"get:WinMergePath", L"get:CmdPath"}));

    store.Put(L"WinMergePath", L"");  // a stored empty value is no absent key
    store.Put(L"CmdName", L"  FC で \"出力\" ");
    ASSERT_TRUE(dialog.Form_Activate());
    EXPECT_EQ(view.paths[1], L"");
    EXPECT_EQ(view.names[2], L"  FC で \"出力\" ");
}

TEST_F(PathDialogTest, EveryActivationReplacesUnsavedEdits) {
    ASSERT_TRUE(dialog.Form_Activate());
    view.paths[0] = L"C:\\typed.exe";
    view.names[1] = L"typed";
    ASSERT_TRUE(dialog.Form_Activate());
    EXPECT_EQ(view.paths[0], L"WINDIFF.exe");
    EXPECT_EQ(view.names[1], L"WINMERGEで比較");
    EXPECT_TRUE(Writes().empty());
}

TEST_F(PathDialogTest, ActivationWithAFailingStoreLeavesTheBoxesAlone) {
    view.paths[0] = L"kept";
    store.failReads = true;
    EXPECT_FALSE(dialog.Form_Activate());
    EXPECT_EQ(view.paths[0], L"kept");
    EXPECT_EQ(view.names[0], L"");
}

TEST_F(PathDialogTest, OkStoresTheSixBoxesInOrderExactlyAsTyped) {
    view.paths = {L" C:\\Program Files\\Diff\\windiff.exe ", L"\"C:\\wm\\WinMerge.exe\"", L""};
    view.names = {L"", L"WinMerge  で", L"ＦＣ"};
    ASSERT_TRUE(dialog.Command3_Click());
    EXPECT_EQ(Writes(), (std::vector<std::wstring>{
                            L"WinDiffPath= C:\\Program Files\\Diff\\windiff.exe ",
                            L"WinMergePath=\"C:\\wm\\WinMerge.exe\"", L"CmdPath=",
                            L"WinDiffName=", L"WinMergeName=WinMerge  で", L"CmdName=ＦＣ"}));
    EXPECT_EQ(view.hides, 1);

    // Once stored, the empty values come back empty, not as defaults.
    ASSERT_TRUE(dialog.Form_Activate());
    EXPECT_EQ(view.paths[2], L"");
    EXPECT_EQ(view.names[0], L"");
}

TEST_F(PathDialogTest, OkPutsTheNamesOnTheMainWindowAndNothingElse) {
    ASSERT_TRUE(mainWindow.ChangeStyle());
    ASSERT_TRUE(mainWindow.SelectOption(1));
    store.log.clear();
    view.names = {L"差分", L"", L"出力"};
    ASSERT_TRUE(dialog.Command3_Click());
    EXPECT_EQ(mainWindow.Model().optionCaptions, (std::array<std::wstring, 3>{L"差分", L"", L"出力"}));
    EXPECT_EQ(mainWindow.Model().selectedOption, 1);
    for (const auto& write : Writes()) EXPECT_FALSE(write.starts_with(L"SelectExe")) << write;
}

TEST_F(PathDialogTest, OkBeforeTheMainWindowExistsLoadsItHidden) {
    // The start-up error path can show the dialog before the main window's first use.
    view.names = {L"a", L"b", L"c"};
    ASSERT_TRUE(dialog.Command3_Click());
    EXPECT_TRUE(mainWindow.Model().loaded);
    EXPECT_EQ(mainWindow.Model().optionCaptions, (std::array<std::wstring, 3>{L"a", L"b", L"c"}));
    EXPECT_FALSE(mainWindow.Model().visible);
    EXPECT_FALSE(host.shown);
    EXPECT_EQ(host.timersStarted, 1);
}

TEST_F(PathDialogTest, OkStopsAtAFailedWrite) {
    view.paths = {L"p0", L"p1", L"p2"};
    view.names = {L"n0", L"n1", L"n2"};
    store.failWrites = true;
    store.failWriteName = L"CmdPath";
    EXPECT_FALSE(dialog.Command3_Click());
    EXPECT_EQ(Writes(), (std::vector<std::wstring>{L"WinDiffPath=p0", L"WinMergePath=p1",
                                                   L"CmdPath=p2"}));
    EXPECT_EQ(store.Stored(L"WinMergePath"), L"p1");
    EXPECT_FALSE(mainWindow.Model().loaded);  // no captions set
    EXPECT_EQ(view.hides, 0);
}

TEST_F(PathDialogTest, CancelHidesWithoutWriting) {
    ASSERT_TRUE(dialog.Form_Activate());
    view.paths[0] = L"C:\\edited.exe";
    dialog.Command4_Click();
    EXPECT_EQ(view.hides, 1);
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(mainWindow.Model().loaded);
}

TEST_F(PathDialogTest, BrowseFillsOnlyItsRowsPathBox) {
    ASSERT_TRUE(dialog.Form_Activate());
    view.browseAnswers = {L"C:\\Program Files\\Tools\\diff tool.exe"};
    dialog.Browse(1);
    EXPECT_EQ(view.paths[1], L"C:\\Program Files\\Tools\\diff tool.exe");  // no quotes added
    EXPECT_EQ(view.paths[0], L"WINDIFF.exe");
    EXPECT_EQ(view.names[1], L"WINMERGEで比較");
    EXPECT_TRUE(Writes().empty());
    dialog.Browse(2);  // the FC command is typed, never browsed for
    EXPECT_EQ(view.browseOpenedWith.size(), 1u);
}

TEST_F(PathDialogTest, BothBrowseButtonsShareOneFileNameUntilTheDialogIsDestroyed) {
    view.browseAnswers = {L"C:\\a\\first.exe", L"C:\\b\\second.exe", std::nullopt,
                          L"C:\\c\\third.exe"};
    dialog.Browse(0);
    dialog.Browse(1);
    EXPECT_EQ(view.paths[0], L"C:\\a\\first.exe");
    EXPECT_EQ(view.paths[1], L"C:\\b\\second.exe");
    // Cancelled: the box and the shared file name stay as they were.
    dialog.Browse(0);
    EXPECT_EQ(view.paths[0], L"C:\\a\\first.exe");
    dialog.Destroyed();
    dialog.Browse(0);
    // Each opens in the folder of its own box's path, the shared file by its
    // name alone there (a full path would take the dialog to that file's folder).
    EXPECT_EQ(view.browseOpenedWith, (std::vector<std::wstring>{
                                         L"", L"C:\\a\\first.exe", L"second.exe", L""}));
    EXPECT_EQ(view.browseOpenedIn,
              (std::vector<std::wstring>{L"C:\\", L"C:\\", L"C:\\a\\", L"C:\\a\\"}));
    EXPECT_EQ(view.paths[0], L"C:\\c\\third.exe");
}

TEST_F(PathDialogTest, BrowseOpensInTheFolderOfTheBoxsPath) {
    view.browseAnswers = {std::nullopt, std::nullopt};
    view.paths[0] = L"\"C:\\Program Files\\WinMerge\\WinMergeU.exe\" /r";
    view.paths[1] = L"WINMERGE.exe";  // a bare name: the laid-out folder
    dialog.Browse(0);
    dialog.Browse(1);
    EXPECT_EQ(view.browseOpenedIn, (std::vector<std::wstring>{
                                       L"C:\\Program Files\\WinMerge\\", L"C:\\"}));
}

// ---------------------------------------------------------------- layout

const ControlLayout& Control(int id) {
    const ControlLayout* control = FindControl(PathDialogLayout(), id);
    if (!control) throw std::runtime_error("no control " + std::to_string(id));
    return *control;
}

TwipsRect ClientRect(int id) { return ClientRectOf(PathDialogLayout(), Control(id)); }

TEST(PathDialogLayoutTest, EveryControlLiesInsideTheClientAreaAndItsFrame) {
    const WindowLayout& layout = PathDialogLayout();
    EXPECT_EQ(layout.clientWidth, 5025);
    EXPECT_EQ(layout.clientHeight, 4770);
    for (const ControlLayout& control : layout.controls) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(control.name)));
        const TwipsRect rect = ClientRectOf(layout, control);
        EXPECT_GE(rect.left, 0);
        EXPECT_GE(rect.top, 0);
        EXPECT_LE(rect.left + rect.width, layout.clientWidth);
        EXPECT_LE(rect.top + rect.height, layout.clientHeight);
        if (control.container != kWindowClient) {
            const ControlLayout* frame = FindControl(layout, control.container);
            ASSERT_NE(frame, nullptr);
            EXPECT_EQ(frame->kind, ControlKind::Frame);
            EXPECT_LE(control.left + control.width, frame->width);
            EXPECT_LE(control.top + control.height, frame->height);
        }
    }
}

TEST(PathDialogLayoutTest, HeadingsAndFramesSitWhereTheRowsAreRead) {
    EXPECT_EQ(ClientRect(ids::kPathLabel1 + 6).left, 360);  // "1.Diffツール１"
    EXPECT_EQ(ClientRect(ids::kPathLabel1 + 6).top, 360);
    EXPECT_EQ(ClientRect(ids::kPathLabel1 + 7).left, 360);  // "2.Diffツール２"
    EXPECT_EQ(ClientRect(ids::kPathLabel1 + 7).top, 1440);
    EXPECT_EQ(ClientRect(ids::kPathFrame2), (TwipsRect{240, 2520, 4575, 1575}));
}

TEST(PathDialogLayoutTest, EachBoxIsLevelWithItsLabelAndRightOfIt) {
    // Text1(i) with its "ﾊﾟｽ：" label, Text2(i) with its "名前：" label.
    const int labelOf[3][2] = {{2, 3}, {4, 5}, {6, 1}};
    for (int tool = 0; tool < 3; ++tool) {
        for (int column = 0; column < 2; ++column) {
            SCOPED_TRACE(testing::Message() << "tool " << tool << (column ? " name" : " path"));
            const int boxId = (column == 0 ? ids::kPathText1 : ids::kPathText2) + tool;
            const int labelId = ids::kPathLabel1 + labelOf[tool][column] - 1;
            EXPECT_EQ(Control(labelId).caption, column == 0 ? L"ﾊﾟｽ：" : L"名前：");
            const TwipsRect box = ClientRect(boxId);
            const TwipsRect label = ClientRect(labelId);
            EXPECT_EQ(box.top, label.top);
            // The box, in front, hides no more than a pixel of the right-aligned label.
            EXPECT_LT(label.left, box.left);
            EXPECT_LE(label.left + label.width - box.left, 15);
            EXPECT_EQ(Control(boxId).container, kWindowClient);
        }
    }
    // The browse buttons sit beside their path boxes, without overlapping them.
    for (int tool = 0; tool < 2; ++tool) {
        const TwipsRect box = ClientRect(ids::kPathText1 + tool);
        const TwipsRect button = ClientRect(ids::kPathCommand1 + tool);
        EXPECT_LT(box.left + box.width, button.left);
        EXPECT_LT(button.top, box.top + box.height);
        EXPECT_GT(button.top + button.height, box.top);
    }
}

TEST(PathDialogLayoutTest, TabOrderStartsWithTheFirstPathBoxAndIsComplete) {
    const WindowLayout& layout = PathDialogLayout();
    ASSERT_EQ(layout.controls.size(), 22u);
    EXPECT_EQ(layout.controls[0].id, ids::kPathText1);
    std::set<int> seenIds;
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        // Creation follows the table, so the table must be in tab order.
        EXPECT_EQ(layout.controls[i].tabIndex, static_cast<int>(i));
        EXPECT_TRUE(seenIds.insert(layout.controls[i].id).second) << layout.controls[i].id;
    }
    // Boxes and buttons are created before the frames, so they lie in front of them.
    EXPECT_LT(Control(ids::kPathCommand2).tabIndex, Control(ids::kPathFrame1).tabIndex);
}

TEST(PathDialogLayoutTest, OnlyTheSyntaxLineAndItsNoteUseTheSmallFont) {
    for (const ControlLayout& control : PathDialogLayout().controls) {
        const bool small = control.id == ids::kPathLabel1 + 8 || control.id == ids::kPathLabel1 + 9;
        EXPECT_EQ(control.font == ControlFont::SmallGothic, small)
            << ::testing::PrintToString(std::wstring(control.name));
    }
}

}  // namespace
}  // namespace duomira
