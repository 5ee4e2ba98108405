#include "framework/TemplateBuilder.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QWidget>
#include <algorithm>

#include "framework/ControlLookup.h"
#include "framework/EditLimitValidator.h"
#include "framework/GroupBox.h"
#include "framework/PushButtonStyle.h"
#include "framework/RadioGroupKeys.h"
#include "framework/ReadOnlyEditLook.h"
#include "framework/Resources.h"
#include "framework/SharedStyle.h"
#include "framework/TemplateFont.h"

namespace CS = ControlStyle;

namespace {

constexpr int kIconSize = 32;

QWidget* MakeStandardControl(const ControlTemplate& c, QWidget* parent) {
    switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::StaticFrame:
        case ControlKind::Icon:
            return new QLabel(parent);
        case ControlKind::GroupBox:
            return new CGroupBox(parent);
        case ControlKind::Edit:
            return new QLineEdit(parent);
        case ControlKind::PushButton:
            return new QPushButton(parent);
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::RadioButton:
            return new QRadioButton(parent);
        case ControlKind::DropDownList:
            return new QComboBox(parent);
        case ControlKind::ListReport:
            return new QTableWidget(parent);
    }
    return new QWidget(parent);
}

Qt::Alignment StaticAlignment(std::uint32_t style) {
    Qt::Alignment a = Qt::AlignLeft;
    if ((style & 0x3) == CS::kCenter) {
        a = Qt::AlignHCenter;
    } else if ((style & 0x3) == CS::kRight) {
        a = Qt::AlignRight;
    }
    a |= (style & CS::kCenterImage) ? Qt::AlignVCenter : Qt::AlignTop;
    return a;
}

bool TakesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::DropDownList:
        case ControlKind::ListReport:
            return true;
        default:
            return false;
    }
}

void ConfigureStatic(const ControlTemplate& c, QLabel* label) {
    label->setText(c.text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(StaticAlignment(c.style));
    label->setWordWrap(false);
    if (c.kind == ControlKind::StaticFrame) {
        if (c.style & CS::kSunken) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        } else {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
        }
        label->setLineWidth(1);
    }
}

void ConfigureList(const ControlTemplate& c, QTableWidget* list) {
    const bool single = c.style & CS::kSingleSel;
    list->setSelectionMode(single ? QAbstractItemView::SingleSelection
                                  : QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(!(c.style & CS::kNoLabelWrap));
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->verticalHeader()->setMinimumSectionSize(list->fontMetrics().height());
    list->horizontalHeader()->setSectionsClickable(!(c.style & CS::kNoSortHeader));
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->setSortingEnabled(false);
    list->setCornerButtonEnabled(false);
    // Tab leaves the list for the next control rather than walking its lines.
    list->setTabKeyNavigation(false);
    list->setShowGrid(false);  // grid lines are an extended style the owner switches on
    if (!(c.style & CS::kBorder)) {
        list->setFrameShape(QFrame::NoFrame);
    }
}

// Applies the template's text, items and flags to a widget of the kind's standard class.
void Configure(const ControlTemplate& c, QWidget* w, QRect px) {
    switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::StaticFrame:
            if (auto* label = qobject_cast<QLabel*>(w)) {
                ConfigureStatic(c, label);
            }
            break;
        case ControlKind::Icon:
            if (auto* label = qobject_cast<QLabel*>(w)) {
                const QIcon icon = LoadIconResource(c.resource);
                label->setPixmap(icon.pixmap(kIconSize, kIconSize));
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            }
            // An icon control takes the size of the icon, not of its box.
            px.setSize(QSize(kIconSize, kIconSize));
            break;
        case ControlKind::GroupBox:
            if (auto* box = qobject_cast<QGroupBox*>(w)) {
                box->setTitle(c.text);
            }
            break;
        case ControlKind::Edit:
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                edit->setText(c.text);
                edit->setReadOnly(c.style & CS::kReadOnly);
                InstallReadOnlyEditLook(edit);
                edit->setFrame(c.style & CS::kBorder);
                if ((c.style & CS::kNumber) || c.limit > 0) {
                    CEditLimitValidator* v = EditLimitValidatorOf(edit);
                    v->SetDigitsOnly(c.style & CS::kNumber);
                    v->SetLimit(c.limit);
                }
            }
            break;
        case ControlKind::PushButton:
            if (auto* button = qobject_cast<QPushButton*>(w)) {
                button->setText(c.text);
                button->setDefault(c.style & CS::kDefPushButton);
                button->setStyle(SharedStyle<CPushButtonStyle>());
            }
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                button->setText(c.text);
            }
            break;
        case ControlKind::DropDownList:
            if (auto* combo = qobject_cast<QComboBox*>(w)) {
                combo->setEditable(false);
                combo->addItems(c.items);
                combo->setCurrentIndex(-1);
                // The template's height is that of the open list; the closed box keeps the
                // style's own height, and the list shows as many rows as the rest holds.
                const int closed = std::min(combo->sizeHint().height(), px.height());
                const int row = combo->count() > 0 ? combo->view()->sizeHintForRow(0) : -1;
                const int rowHeight = std::max(1, row > 0 ? row : combo->fontMetrics().height());
                combo->setMaxVisibleItems(std::max(1, (px.height() - closed) / rowHeight));
                combo->setProperty(kDroppedHeightProperty, px.height());
                px.setHeight(closed);
            }
            break;
        case ControlKind::ListReport:
            if (auto* list = qobject_cast<QTableWidget*>(w)) {
                ConfigureList(c, list);
            }
            break;
    }
    w->setGeometry(px);
}

}  // namespace

DialogBaseUnits TemplateBaseUnits(const DialogTemplate& tmpl) {
    return MeasureDialogBaseUnits(MakeTemplateFont(tmpl.fontFace, tmpl.pointSize));
}

QSize TemplateClientSize(const DialogTemplate& tmpl) {
    return DluToPixels(QRect(0, 0, tmpl.cx, tmpl.cy), TemplateBaseUnits(tmpl)).size();
}

std::vector<QWidget*> CreateTemplateControls(const DialogTemplate& tmpl, QWidget* parent,
                                             const ControlFactory& factory) {
    std::vector<QWidget*> made;
    if (parent == nullptr) {
        return made;
    }
    const QFont font = MakeTemplateFont(tmpl.fontFace, tmpl.pointSize);
    parent->setFont(font);
    const DialogBaseUnits base = MeasureDialogBaseUnits(font);

    QButtonGroup* radioGroup = nullptr;
    QWidget* previousFocusable = nullptr;
    std::vector<QWidget*> groupBoxes;
    std::vector<QButtonGroup*> radioGroups;
    made.reserve(tmpl.controls.size());
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* w = factory ? factory(c, parent) : nullptr;
        if (w == nullptr) {
            w = MakeStandardControl(c, parent);
        } else if (w->parentWidget() != parent) {
            w->setParent(parent);
        }
        SetControlId(w, c.id);
        w->setProperty(kTemplateStyleProperty, static_cast<unsigned>(c.style));
        Configure(c, w, DluToPixels(QRect(c.x, c.y, c.cx, c.cy), base));
        w->setEnabled(!(c.style & CS::kDisabled));

        // A group runs from a control with the group flag to the next one; radio buttons in
        // it exclude each other, and only them.
        if (c.style & CS::kGroup) {
            radioGroup = nullptr;
        }
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            if (radioGroup == nullptr) {
                radioGroup = new QButtonGroup(parent);
                radioGroup->setExclusive(true);
                radioGroups.push_back(radioGroup);
            }
            radio->setAutoExclusive(false);
            radioGroup->addButton(radio, c.id);
        }

        if (TakesFocus(c.kind)) {
            w->setFocusPolicy((c.style & CS::kTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
            if (previousFocusable != nullptr) {
                QWidget::setTabOrder(previousFocusable, w);
            }
            previousFocusable = w;
        } else {
            w->setFocusPolicy(Qt::NoFocus);
        }
        if (c.kind == ControlKind::GroupBox) {
            groupBoxes.push_back(w);
        }
        w->show();
        made.push_back(w);
    }
    // Group boxes only frame their neighbours; kept at the back they never take their clicks.
    for (QWidget* box : groupBoxes) {
        box->lower();
    }
    for (QButtonGroup* group : radioGroups) {
        InstallRadioGroupKeys(group);
    }
    return made;
}

std::vector<QWidget*> ApplyDialogTemplate(const DialogTemplate& tmpl, QWidget* dialog,
                                          const ControlFactory& factory) {
    if (dialog == nullptr) {
        return {};
    }
    dialog->setWindowTitle(tmpl.caption);
    std::vector<QWidget*> made = CreateTemplateControls(tmpl, dialog, factory);
    dialog->setFixedSize(TemplateClientSize(tmpl));
    return made;
}
