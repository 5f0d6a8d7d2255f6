// The command table walked state by state in the real main window: every
// command's enabled and pressed state against the rules written out here
// from what each command needs, independently of the table's own lambdas.
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/Commands.h"
#include "ui/MainFrame.h"
#include "ui/PlastoraView.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CMainFrame;

namespace {

// What a scenario set up, written down by the scenario itself.
struct Facts {
    bool picture = false;
    int regions = 0;
    int current = 0;
    int mode = kModeNone;
    bool views = false;
    bool composite = false;
    bool highRes = false;
    bool undo = false;
    bool redo = false;
    bool rotation = false;
    int tool = kToolNone;
    int zoom = 1;
    bool masking = true;
    int objects = 0;
    int currentObject = -1;
    bool editableObject = false;  // the current object is text or a shape
};

using Rule = std::function<bool(const Facts&)>;

// Enabled-when rules, one per command.
const std::map<std::string, Rule>& enabledRules() {
    static const std::map<std::string, Rule> rules = [] {
        std::map<std::string, Rule> r;
        const Rule always = [](const Facts&) { return true; };
        const Rule pic = [](const Facts& f) { return f.picture; };
        const Rule m1 = [](const Facts& f) { return f.mode == kModeMask; };
        const Rule m2 = [](const Facts& f) { return f.mode == kModeImage; };
        const Rule m12 = [](const Facts& f) { return f.mode == kModeMask || f.mode == kModeImage; };
        const Rule m1Many = [](const Facts& f) { return f.mode == kModeMask && f.regions > 1; };
        const Rule views = [](const Facts& f) { return f.views; };
        for (const char* id : {"new", "open", "sample", "printSetup", "openStereo", "exit", "params", "interlaceSettings",
                               "pmSettings", "faceSettings", "videoSettings", "doc", "tutorial", "about",
                               "openWithDepth", "pitchTest"})
            r[id] = always;
        for (const char* id : {"save", "saveAs", "stereo", "depth", "paper", "anaglyph", "saveCard", "spectral"}) r[id] = pic;
        r["saveComposite"] = [](const Facts& f) { return f.composite; };
        r["print"] = [](const Facts& f) { return f.composite || f.mode == kModeImage || f.mode == kModeAnaglyph; };
        r["saveStereo"] = [](const Facts& f) { return f.highRes || f.views; };
        r["movie"] = r["saveStereo"];
        r["maskMode"] = [](const Facts& f) { return f.picture && f.regions > 0; };
        r["imageMode"] = pic;
        r["adjust"] = [](const Facts& f) { return f.picture && (f.mode == kModeMask || f.mode == kModeImage); };
        r["faces"] = [](const Facts& f) { return f.picture && f.mode == kModeMask; };
        r["compose"] = [](const Facts& f) { return f.views && !f.composite; };
        r["rotate"] = [](const Facts& f) { return f.picture && f.rotation; };
        r["addRegion"] = m1;
        r["switchRegion"] = m1;
        r["exportRegion"] = m1;
        r["deleteRegion"] = m1Many;
        r["maskingMask"] = m1Many;
        r["regionTop"] = [](const Facts& f) { return f.mode == kModeMask && f.regions > 1 && f.current < f.regions - 1; };
        r["regionUp"] = r["regionTop"];
        r["regionDown"] = [](const Facts& f) { return f.mode == kModeMask && f.current > 0; };
        r["regionBottom"] = r["regionDown"];
        r["objectTop"] = [](const Facts& f) {
            return f.mode == kModeImage && f.currentObject >= 0 && f.currentObject < f.objects - 1;
        };
        r["objectUp"] = r["objectTop"];
        r["objectDown"] = [](const Facts& f) { return f.mode == kModeImage && f.currentObject > 0; };
        r["objectBottom"] = r["objectDown"];
        r["objectDelete"] = [](const Facts& f) { return f.mode == kModeImage && f.currentObject >= 0; };
        r["editObject"] = [](const Facts& f) { return f.mode == kModeImage && f.currentObject >= 0 && f.editableObject; };
        r["undo"] = [](const Facts& f) { return f.undo && (f.mode == kModeMask || f.mode == kModeImage); };
        r["redo"] = [](const Facts& f) { return f.redo && (f.mode == kModeMask || f.mode == kModeImage); };
        r["animation"] = views;
        r["showComposite"] = [](const Facts& f) { return f.composite; };
        r["saveEdit"] = [](const Facts& f) { return f.mode == kModeImage || f.mode == kModeInterlace; };
        r["saveViews"] = views;
        r["saveAnaglyph"] = [](const Facts& f) { return f.mode == kModeAnaglyph; };
        r["saveDepthMap"] = pic;  // the scenarios hold no stereo pair, which has no depth to save
        r["interlace"] = views;
        // Palettes.
        r["pen"] = m12;
        r["eraser"] = m12;
        r["fill"] = m12;
        r["zoom"] = [](const Facts& f) { return f.mode == kModeMask || (f.mode == kModeImage && f.tool != kToolMove); };
        r["outline"] = m1;
        r["masking"] = [](const Facts& f) { return f.current > 0; };
        r["move"] = m2;
        r["colour"] = m2;
        r["text"] = m2;
        r["clipArt"] = m2;
        r["shape"] = m2;
        return r;
    }();
    return rules;
}

// Pressed-when rules.
const std::map<std::string, Rule>& pressedRules() {
    static const std::map<std::string, Rule> rules = {
        {"maskMode", [](const Facts& f) { return f.mode == kModeMask; }},
        {"imageMode", [](const Facts& f) { return f.mode == kModeImage; }},
        {"animation", [](const Facts& f) { return f.mode == kModeAnimation; }},
        {"showComposite", [](const Facts& f) { return f.mode == kModeComposite; }},
        {"pen", [](const Facts& f) { return f.tool == kToolPen; }},
        {"eraser", [](const Facts& f) { return f.tool == kToolEraser; }},
        {"fill", [](const Facts& f) { return f.tool == kToolFill; }},
        {"outline", [](const Facts& f) { return f.tool == kToolOutline; }},
        {"move", [](const Facts& f) { return f.tool == kToolMove; }},
        {"zoom", [](const Facts& f) { return f.zoom > 1; }},
        {"masking", [](const Facts& f) { return f.masking; }},
    };
    return rules;
}

struct Window {
    TempDir dir;
    std::unique_ptr<CMainFrame> frame;
    Window() {
        std::ofstream(dir.file("Plastora.ini")) << "";
        frame = std::make_unique<CMainFrame>(dir.file("Plastora.ini"));
    }
    CStereoWorkspace& ws() { return frame->view()->workspace(); }
};

void checkAll(Window& w, const Facts& f, const std::string& scenario) {
    w.frame->updateCommands();
    std::set<std::string> seen;
    for (const ui::Command& c : ui::commandTable()) {
        seen.insert(c.id);
        const auto rule = enabledRules().find(c.id);
        ASSERT_NE(rule, enabledRules().end()) << "no rule written for " << c.id;
        const bool want = rule->second(f);
        EXPECT_EQ(c.enabled(w.ws()), want) << scenario << ": " << c.id;
        // A command whose work is not built stays disabled whatever its rule.
        QAction* a = w.frame->action(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_EQ(a->isEnabled(), want && static_cast<bool>(c.run)) << scenario << ": action " << c.id;
        const auto pressed = pressedRules().find(c.id);
        if (pressed != pressedRules().end()) {
            ASSERT_TRUE(static_cast<bool>(c.pressed)) << c.id << " shows no pressed state";
            EXPECT_EQ(a->isChecked(), pressed->second(f)) << scenario << ": pressed " << c.id;
        } else {
            EXPECT_FALSE(static_cast<bool>(c.pressed)) << c.id << " shows a pressed state it should not have";
        }
    }
    for (const auto& [id, rule] : enabledRules()) EXPECT_TRUE(seen.count(id)) << id << " is missing from the table";
}

}  // namespace

TEST(CommandTable, EveryCommandFollowsItsRuleInEveryState) {
    Window w;
    Facts f;
    checkAll(w, f, "no picture");

    // A photo just opened: mask editing with region 0 and the pen.
    w.ws().adoptPicture(gradientPicture(64, 48));
    w.ws().setRotationAllowed(true);
    w.ws().SetMode(kModeMask);
    f.picture = true;
    f.regions = 1;
    f.mode = kModeMask;
    f.tool = kToolPen;
    f.rotation = true;
    checkAll(w, f, "photo");

    // A stroke: undo is possible and rotation no longer is.
    w.ws().LButtonDown({5, 5});
    w.ws().LButtonUp({5, 5});
    f.undo = true;
    f.rotation = false;
    checkAll(w, f, "photo after a stroke");

    // Regions, the middle one current, zoomed, outline tool, masking off.
    ASSERT_TRUE(w.ws().appendRegion(0));
    ASSERT_TRUE(w.ws().appendRegion(0));
    w.ws().setCurrentRegion(1);
    w.ws().ToggleMasking();
    w.ws().ZoomTool();
    w.ws().SelectTool(kToolOutline);
    f.regions = 3;
    f.current = 1;
    f.masking = false;
    f.zoom = 2;
    f.tool = kToolOutline;
    checkAll(w, f, "regions");
    w.ws().setCurrentRegion(2);
    f.current = 2;
    checkAll(w, f, "last region");

    // Image editing with the move tool.
    w.ws().SetMode(kModeImage);
    w.ws().SelectTool(kToolMove);
    f.mode = kModeImage;
    f.tool = kToolMove;
    f.zoom = 1;  // the current region stays what it was; the stroke can still be undone
    checkAll(w, f, "image editing");

    // Views: the animation.
    w.ws().GenerateViews(nullptr, 2, false);
    w.ws().StartViewAnimation();
    f.views = true;
    f.mode = kModeAnimation;
    checkAll(w, f, "views");

    // The composite.
    ASSERT_TRUE(w.ws().Compose());
    f.composite = true;
    f.mode = kModeComposite;
    checkAll(w, f, "composite");

    // The anaglyph and interlace displays.
    w.ws().setDisplayMode(kModeAnaglyph);
    f.mode = kModeAnaglyph;
    checkAll(w, f, "anaglyph");
    w.ws().setDisplayMode(kModeInterlace);
    f.mode = kModeInterlace;
    checkAll(w, f, "interlace");

    // A high-resolution copy without views still allows the stereo commands.
    w.ws().SetMode(kModeImage);
    ASSERT_TRUE(w.ws().highRes(0).create(192, 144));
    w.ws().setHighResCount(1);
    f.views = false;
    f.composite = false;
    f.highRes = true;
    f.mode = kModeImage;
    f.tool = kToolNone;
    checkAll(w, f, "high-resolution copy");

    // Objects: clip art in the middle selected (no dialog to edit it), then
    // the shape on top; the Edit menu shows the objects' order entries.
    for (const int type : {kObjectText, kObjectPicture, kObjectShape})
        ASSERT_TRUE(w.ws().appendObject(type, std::make_shared<OverlayObject>()));
    w.ws().setCurrentObject(1);
    f.objects = 3;
    f.currentObject = 1;
    checkAll(w, f, "clip art selected");
    EXPECT_TRUE(w.frame->action("objectTop")->isVisible());
    EXPECT_FALSE(w.frame->action("regionTop")->isVisible());
    w.ws().setCurrentObject(2);
    f.currentObject = 2;
    f.editableObject = true;
    checkAll(w, f, "shape on top selected");
    w.ws().setCurrentObject(0);
    f.currentObject = 0;
    checkAll(w, f, "text at the bottom selected");
    w.ws().SetMode(kModeMask);
    w.frame->updateCommands();
    EXPECT_FALSE(w.frame->action("objectTop")->isVisible());
    EXPECT_TRUE(w.frame->action("regionTop")->isVisible());
}

TEST(CommandTable, MenusAreInJapaneseWithTheirShortcuts) {
    Window w;
    QStringList titles;
    for (QAction* a : w.frame->menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "オプション(&O)", "ヘルプ(&H)"}));
    EXPECT_EQ(w.frame->action("open")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w.frame->action("save")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(w.frame->action("print")->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(w.frame->action("new")->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(w.frame->action("undo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
    // Prompt in the status bar, tip on the button.
    EXPECT_EQ(w.frame->action("pen")->toolTip(), "ﾍﾟﾝﾂｰﾙ");
    EXPECT_EQ(w.frame->action("outline")->toolTip(), "マスク領域を輪郭線で表示する");
    EXPECT_FALSE(w.frame->action("open")->statusTip().isEmpty());
    w.frame->show();
    EXPECT_TRUE(w.frame->action("toolBar")->isChecked());
    w.frame->action("statusBar")->trigger();
    EXPECT_TRUE(w.frame->statusBar()->isHidden());
}
