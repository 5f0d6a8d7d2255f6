// DepthEditor: what the depth settings dialog does, without the widgets.
//
// It works on copies of every depth and shadow flag and writes them back to
// the workspace only on OK. The dialog shows its fields and enable states,
// hands typed values to it and calls its actions; the tests drive it the same
// way.
#pragma once

#include "core/StereoWorkspace.h"

#include <vector>

namespace plastora {

constexpr int kDepthMin = -32;
constexpr int kDepthMax = 16;
// The depth at and above which the background counts as sharp ("鮮明").
constexpr int kSharpBackground = -8;

extern const char* const kDepthRangeMessage;
extern const char* const kDepthOrderQuestion;

// The fields of the dialog that can fail validation (and get the focus).
enum class DepthField { None, Background, Region, Paint, Object };

class DepthEditor {
public:
    // Opening: copies the depths, makes region 0 current and sets the fields
    // and enable states.
    explicit DepthEditor(CStereoWorkspace& ws);

    // Field values as typed (the dialog converts its text; text that is not
    // a number should be passed as something out of range, e.g. 9999).
    int background = 0;
    int regionField = 0;
    int paintField = 0;
    int objectField = 0;
    bool sharp = false;
    bool regionShadow = false;
    bool paintShadow = false;
    bool objectShadow = false;

    // Enable states.
    bool backgroundEnabled = true;  // background field, its spin and "鮮明"
    bool regionFieldEnabled = true;
    bool regionShadowEnabled = true;
    bool regionButtonEnabled = false;
    bool objectButtonEnabled = false;
    bool objectFieldEnabled = false;  // object field, its spin and "影"

    int currentRegion() const { return m_currentRegion; }
    int currentObject() const { return m_currentObject; }
    const std::vector<int>& regionDepths() const { return m_regionDepths; }
    const std::vector<int>& objectDepths() const { return m_objectDepths; }
    const std::vector<bool>& objectShadows() const { return m_objectShadows; }

    // "鮮明" clicked: the new tick state.
    void setSharp(bool ticked);
    // "切出し領域": the next region. Returns the field that failed validation
    // (after the range message), or None.
    DepthField nextRegion();
    // "オブジェクト": the next object (from none to 0).
    DepthField nextObject();
    // "標準に戻す": the fields from the settings' standard values.
    void resetToStandard();
    // OK: validates, asks about the order when it is inconsistent and writes
    // back. Returns true when the dialog closes; otherwise `focus` names the
    // field to focus.
    bool accept(DepthField& focus);

private:
    bool inRange(int v) const { return v >= kDepthMin && v <= kDepthMax; }
    bool objectEditable(int index) const;
    void showObject();
    void selectRegion(int index);

    CStereoWorkspace& m_ws;
    std::vector<int> m_regionDepths;
    std::vector<int> m_objectDepths;
    std::vector<bool> m_objectShadows;
    int m_currentRegion = 0;
    int m_currentObject = -1;
};

}  // namespace plastora
