#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The kinds of control a dialog template can hold.
enum class ControlKind {
    Label,     // static text
    GroupBox,  // frame with a caption, drawn behind the controls it surrounds
    Edit,      // single-line edit
    PushButton,
    CheckBox,
    RadioButton,
    DropDownList,  // combo box without an edit field
    ListReport,    // list in report mode: header and rows
    StaticFrame,   // static text inside a border
    Icon,          // an icon resource
};

// Style bits, with the numbers the resource script uses. The low 16 bits mean different things
// for different kinds; the high bits are common to all windows.
namespace ControlStyle {
// Common to every control.
constexpr std::uint32_t kTabStop = 0x00010000;
constexpr std::uint32_t kGroup = 0x00020000;  // first control of a group (radio buttons)
constexpr std::uint32_t kVScroll = 0x00200000;
constexpr std::uint32_t kBorder = 0x00800000;
constexpr std::uint32_t kDisabled = 0x08000000;
// Labels and static frames.
constexpr std::uint32_t kLeft = 0x0000;
constexpr std::uint32_t kCenter = 0x0001;
constexpr std::uint32_t kRight = 0x0002;
constexpr std::uint32_t kNoPrefix = 0x0080;     // '&' is shown as it is
constexpr std::uint32_t kCenterImage = 0x0200;  // single line, centred vertically
constexpr std::uint32_t kSunken = 0x1000;
// Edits.
constexpr std::uint32_t kAutoHScroll = 0x0080;
constexpr std::uint32_t kReadOnly = 0x0800;
constexpr std::uint32_t kNumber = 0x2000;  // digits only
// Push buttons.
constexpr std::uint32_t kDefPushButton = 0x0001;
// Drop-down lists.
constexpr std::uint32_t kDropDownList = 0x0003;
// List in report mode.
constexpr std::uint32_t kReport = 0x0001;
constexpr std::uint32_t kSingleSel = 0x0004;
constexpr std::uint32_t kShowSelAlways = 0x0008;
constexpr std::uint32_t kNoLabelWrap = 0x0080;
constexpr std::uint32_t kNoSortHeader = 0x8000;
}  // namespace ControlStyle

// One control of a template, positions and sizes in dialog units. For a drop-down list the
// height is the height of the open list; `items` fill it in order. `limit` caps an edit's
// keyboard input (0: no cap); `resource` names the icon of an Icon control.
struct ControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Label;
    QString text;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t style = 0;
    QStringList items = {};
    int limit = 0;
    unsigned resource = 0;
};

// A dialog or form: caption, client size in dialog units, the font the units derive from and
// the controls in tab order.
struct DialogTemplate {
    unsigned id = 0;
    QString caption;
    int cx = 0, cy = 0;
    QString fontFace;
    int pointSize = 9;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const;
};
