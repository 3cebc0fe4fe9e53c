#include "DialogBuilder.h"

#include "CSkinButton.h"
#include "DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace ostrel {

namespace {

constexpr const char* kIdProperty = "ostrelControlId";

QComboBox* MakeComboBox(const ControlTemplate& control, QWidget& parent)
{
    auto* combo = new QComboBox(&parent);
    combo->setEditable(control.styles.testFlag(ControlStyle::Editable));
    combo->setInsertPolicy(QComboBox::InsertAlphabetically);
    if (control.styles.testFlag(ControlStyle::Sorted)) {
        // Items added by the program are kept in order too, as a sorted
        // combo box of the dialog manager does.
        if (auto* model = qobject_cast<QStandardItemModel*>(combo->model())) {
            QObject::connect(model, &QAbstractItemModel::rowsInserted, combo,
                             [model] { model->sort(0, Qt::AscendingOrder); });
        }
    }
    return combo;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget& parent)
{
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(control.text, &parent);
        label->setWordWrap(!control.styles.testFlag(ControlStyle::NoWrap));
        label->setAlignment(control.styles.testFlag(ControlStyle::CentreText) ? Qt::AlignHCenter | Qt::AlignTop
                                                                              : Qt::AlignLeft | Qt::AlignTop);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        return label;
    }
    case ControlKind::GroupBox: {
        auto* box = new QGroupBox(control.text, &parent);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        return box;
    }
    case ControlKind::PushButton: {
        auto* button = new CSkinButton(control.text, &parent);
        button->setDefault(control.styles.testFlag(ControlStyle::DefaultButton));
        return button;
    }
    case ControlKind::CheckBox: return new QCheckBox(control.text, &parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(control.text, &parent);
        if (control.styles.testFlag(ControlStyle::Password))
            edit->setEchoMode(QLineEdit::Password);
        edit->setReadOnly(control.styles.testFlag(ControlStyle::ReadOnly));
        return edit;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(&parent);
        list->setSortingEnabled(control.styles.testFlag(ControlStyle::Sorted));
        return list;
    }
    case ControlKind::ComboBox: return MakeComboBox(control, parent);
    case ControlKind::ListView: {
        auto* view = new QTreeWidget(&parent);
        view->setRootIsDecorated(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        return view;
    }
    case ControlKind::Custom: return new QWidget(&parent);
    }
    return nullptr;
}

// Controls that a screen reader names by the static text before them.
bool TakesLabel(ControlKind kind)
{
    switch (kind) {
    case ControlKind::CheckBox:
    case ControlKind::Edit:
    case ControlKind::ListBox:
    case ControlKind::ComboBox:
    case ControlKind::ListView: return true;
    default: return false;
    }
}

QString LabelName(const QString& text)
{
    QString name = text;
    return name.remove(QLatin1Char('&'));
}

// An untitled group box is named by the static text that lies across its
// top edge, as "Status" and "Email Reports" do.
void NameGroupBoxes(const DialogTemplate& dialogTemplate, const QList<QWidget*>& widgets)
{
    const auto& controls = dialogTemplate.controls;
    for (qsizetype box = 0; box < widgets.size(); ++box) {
        const ControlTemplate& boxTemplate = controls[static_cast<size_t>(box)];
        auto* group = qobject_cast<QGroupBox*>(widgets[box]);
        if (!group || !group->title().isEmpty())
            continue;
        const QRect frame = boxTemplate.rect;
        for (qsizetype other = 0; other < widgets.size(); ++other) {
            const ControlTemplate& label = controls[static_cast<size_t>(other)];
            if (label.kind != ControlKind::Static || label.text.isEmpty())
                continue;
            const int top = label.rect.top();
            if (top <= frame.top() && top > frame.top() - 8 && label.rect.left() >= frame.left() &&
                label.rect.left() < frame.right()) {
                group->setAccessibleName(LabelName(label.text));
                break;
            }
        }
    }
    // A control inside a group box is described by the group's name, so
    // that the three "Show" buttons of a page tell themselves apart.
    for (qsizetype box = 0; box < widgets.size(); ++box) {
        auto* group = qobject_cast<QGroupBox*>(widgets[box]);
        const QString name = group ? (group->title().isEmpty() ? group->accessibleName() : group->title()) : QString();
        if (name.isEmpty())
            continue;
        const QRect frame = controls[static_cast<size_t>(box)].rect;
        for (qsizetype other = 0; other < widgets.size(); ++other) {
            const ControlTemplate& control = controls[static_cast<size_t>(other)];
            if (widgets[other] && control.kind != ControlKind::Static && control.kind != ControlKind::GroupBox &&
                frame.contains(control.rect.topLeft()) && widgets[other]->accessibleDescription().isEmpty())
                widgets[other]->setAccessibleDescription(LabelName(name));
        }
    }
}

}  // namespace

void DialogBuilder::Build(QWidget& dialog, const DialogTemplate& dialogTemplate)
{
    const WindowStyles styles = dialogTemplate.styles;
    if (styles.testFlag(WindowStyle::Child))
        dialog.setWindowFlags(Qt::Widget);
    else if (styles.testFlag(WindowStyle::Caption))
        dialog.setWindowFlags(Qt::Dialog);
    else
        dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);

    dialog.setFont(DialogUnits::DialogFont());
    dialog.setWindowTitle(dialogTemplate.title);
    const DialogUnits units = DialogUnits::ForFont(dialog.font());
    const QSize size = units.ToPixels(dialogTemplate.size);
    if (styles.testFlag(WindowStyle::SizingBorder) || styles.testFlag(WindowStyle::Child))
        dialog.resize(size);
    else
        dialog.setFixedSize(size);

    QList<QWidget*> groupBoxes;
    QList<QWidget*> built;
    QLabel* label = nullptr;  // the static text before the next field
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = MakeControl(control, dialog);
        built.append(widget);
        if (!widget)
            continue;
        SetId(*widget, control.id);
        // A field is named by the label that stands before it in the
        // template, as a screen reader reads the window.
        if (control.kind == ControlKind::Static && !control.text.isEmpty()) {
            label = static_cast<QLabel*>(widget);
        } else if (TakesLabel(control.kind) && label) {
            label->setBuddy(widget);
            widget->setAccessibleName(LabelName(label->text()));
            // The edit field of a combo box is a control of its own.
            if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
                combo->lineEdit()->setAccessibleName(widget->accessibleName());
            label = nullptr;
        }

        const QRect pixels = units.ToPixels(control.rect);
        if (control.kind == ControlKind::Static && control.rect.size().isEmpty()) {
            widget->move(pixels.topLeft());
            widget->adjustSize();
        } else if (control.kind == ControlKind::ComboBox) {
            // The template's height is that of the open list; the closed box
            // is as high as its font needs.
            auto* combo = static_cast<QComboBox*>(widget);
            const int boxHeight = combo->sizeHint().height();
            const int rowHeight = std::max(1, combo->fontMetrics().height() + 2);
            combo->setMaxVisibleItems(std::max(1, (pixels.height() - boxHeight) / rowHeight));
            widget->setGeometry(QRect(pixels.topLeft(), QSize(pixels.width(), boxHeight)));
        } else if (control.kind == ControlKind::CheckBox) {
            // A box drawn by this desktop may be larger than the template's.
            widget->setGeometry(QRect(pixels.topLeft(), pixels.size().expandedTo(widget->sizeHint())));
        } else {
            widget->setGeometry(pixels);
        }

        if (control.styles.testFlag(ControlStyle::Disabled))
            widget->setEnabled(false);
        if (control.styles.testFlag(ControlStyle::Hidden))
            widget->setVisible(false);
        if (control.kind == ControlKind::GroupBox)
            groupBoxes.append(widget);
    }
    for (QWidget* box : groupBoxes)
        box->lower();
    NameGroupBoxes(dialogTemplate, built);
}

QWidget* DialogBuilder::Find(const QWidget& dialog, int id)
{
    if (id == kNoControlId)
        return nullptr;
    const auto children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const auto it =
        std::find_if(children.begin(), children.end(), [id](const QWidget* child) { return IdOf(*child) == id; });
    return it == children.end() ? nullptr : *it;
}

int DialogBuilder::IdOf(const QWidget& control)
{
    bool valid = false;
    const int id = control.property(kIdProperty).toInt(&valid);
    return valid ? id : kNoControlId;
}

void DialogBuilder::SetId(QWidget& control, int id)
{
    control.setProperty(kIdProperty, id);
    if (id != kNoControlId)
        control.setObjectName(QStringLiteral("control%1").arg(id));
}

}  // namespace ostrel
