#include "ui/control_center_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "device/text_check.h"
#include "ui/color_picker_combo.h"
#include "ui/data_center_view.h"
#include "ui/dialog_template.h"
#include "ui/led_placement.h"
#include "ui/panel/led_field.h"
#include "ui/panel/panel_accessible.h"
#include "ui/panel/panel_style.h"

// The icon lives in a static library's resources, which the linker only keeps when referenced.
static void InitVeltaResources() {
    Q_INIT_RESOURCE(resources);
}

namespace velta {

namespace {

using ui::kDialogTemplate;
using ui::TemplateControl;
namespace id = ui::id;
namespace flag = ui::flag;

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A control's rectangle for the panel shown at `scale` with its corner at `origin`.
QRect ScaledRect(const TemplateControl& control, double scale, QPoint origin) {
    const ui::Rect r = ui::ScaleRect(ui::UnitsToPixels(control.units), scale);
    return QRect(r.x + origin.x(), r.y + origin.y(), r.width, r.height);
}

// Font sizes at a scale, rounded down so a caption never outgrows its rectangle.
int ScaledPixels(int pixels, double scale) {
    return std::max(1, static_cast<int>(std::floor(pixels * scale + 1e-6)));
}

// The captions were laid out for a narrow 8-point face. A condensed sans at 10 pixels keeps every
// caption inside its rectangle ("Grid Brightness" next to its check mark is the tightest); the
// fallbacks cover systems without it.
QFont DialogFont(double scale) {
    QFont font;
    font.setFamilies(
        {"DejaVu Sans Condensed", "Liberation Sans Narrow", "Arial Narrow", "Sans Serif"});
    font.setPixelSize(ScaledPixels(ui::kDesignCaptionPixels, scale));
    return font;
}
constexpr int kDataCenterFontPixels = 11;

// Scales come in steps of 1/40: a window resized by a pixel does not lay the panel out anew, and
// at its designed size the panel is drawn pixel for pixel.
constexpr double kScaleSteps = 40;
double ScaleStepBelow(double scale) {
    return std::floor(scale * kScaleSteps + 1e-9) / kScaleSteps;
}
// Captions of fewer device pixels than this are no longer readable.
constexpr double kSmallestCaptionDevicePixels = 8;

// The keys the program's own actions use (Undo, Redo, Export Data Center, Save Design); a text
// box must not take them for its own undo history or cursor keys.
constexpr std::array<QKeyCombination, 5> kProgramKeys = {
    Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
    Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::Key_E,
    Qt::CTRL | Qt::Key_S,
};
bool IsProgramKey(const QKeyEvent& key) {
    const QKeyCombination pressed(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key()));
    return std::find(kProgramKeys.begin(), kProgramKeys.end(), pressed) != kProgramKeys.end();
}

// Multi-line push buttons break their caption at spaces when one line is too wide, filling each
// line as far as it goes.
QString WrapCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    const auto shown = [](QString text) { return text.remove(QLatin1Char('&')); };
    if (metrics.horizontalAdvance(shown(caption)) <= width)
        return caption;
    const QStringList words = caption.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(shown(candidate)) > width) {
            lines.append(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

// Room for text inside a push button of the given width (frame and margins off).
constexpr int kButtonTextMargin = 8;

// The fill-mode radio buttons in the order the template lists their ids below.
constexpr std::array<FillMode, 3> kFillModes = {FillMode::AllOff, FillMode::AllOn, FillMode::Copy};

constexpr const char* kScrollTextTip =
    "The scrolling text; the display shows its first 62 characters, in its 8-bit code page";

// What the controls whose caption doesn't say it all do.
constexpr std::array<std::pair<int, const char*>, 20> kToolTips = {{
    {id::kShiftInwards, "Move both halves of the picture towards the middle"},
    {id::kShiftOutwards, "Move both halves of the picture away from the middle"},
    {id::kShiftDownwards,
     "Move the top half down and the bottom half up, to meet in the middle (Pixel Ctrl fills "
     "the top and bottom rows)"},
    {id::kShiftUpwards,
     "Move the top half up and the bottom half down, apart from the middle (Pixel Ctrl fills "
     "the two middle rows)"},
    {id::kInvertGrid, "Turn every lit LED off and every dark LED on"},
    {id::kFillAllOff, "Half shifts leave the emptied line off"},
    {id::kFillAllOn, "Half shifts light the emptied line"},
    {id::kFillCopy, "Half shifts repeat the line next to the emptied one"},
    {id::kSaveSequence, "Append the ticked features to the Data Center"},
    {id::kConnectTx, "Find and open the USB transmitter"},
    {id::kUpdateData, "Send the ticked features to the display (RF mode must be on)"},
    {id::kRfMode, "Switch the transmitter's RF mode; data is sent only while it is on"},
    {id::kAutoUpdate, "While RF mode is on, send whatever changed ten times a second"},
    {id::kPodColour, "The colour a pod takes when clicked; Custom... picks any colour"},
    {id::kColorAllPods, "Give every pod the chosen colour"},
    {id::kScrollSpeed, "Scroll speed of the text, 0 to 15"},
    {id::kRingLevel, "Brightness of the LED rings, 0 to 4095"},
    {id::kGridBrightness, "Brightness of the LED grid, 0 to 15"},
    {id::kScrollText, kScrollTextTip},
    {id::kDataCenter, "The data sent, as lines to copy into display sequences"},
}};

// The three sliders and their ranges.
struct SliderRange {
    int controlId;
    int maximum;
};
constexpr std::array<SliderRange, 3> kSliderRanges = {{
    {id::kScrollSpeed, kScrollSpeedMax},
    {id::kRingLevel, kRingLevelMax},
    {id::kGridBrightness, kGridBrightnessMax},
}};

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        const QString path = QStringLiteral(":/icons/velta-%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

// Enabled state and focus policy of a built control, from its template entry.
void SetUpTemplateControl(const TemplateControl& control, QWidget& widget) {
    if ((control.flags & flag::kStartsDisabled) != 0)
        widget.setEnabled(false);
    if (control.kind != ui::ControlKind::GroupBox && control.kind != ui::ControlKind::Label &&
        (control.flags & flag::kInTabOrder) == 0 && control.kind != ui::ControlKind::RadioButton) {
        widget.setFocusPolicy(Qt::ClickFocus);
    }
}

// A control's place at a scale, from its template entry.
void PlaceTemplateControl(const TemplateControl& control, QWidget& widget, double scale,
                          QPoint origin) {
    QRect placed = ScaledRect(control, scale, origin);
    if (control.kind == ui::ControlKind::ComboBox) {
        // The template height includes the open list; the closed box is one item high and must
        // stay clear of the "Data Center" label under it.
        const int labelTop = ui::ScaleEdge(ui::VerticalUnitsToPixels(27), scale) + origin.y();
        placed.setHeight(
            std::min(widget.sizeHint().height(), labelTop - placed.y() - ui::ScaleEdge(2, scale)));
    }
    widget.setGeometry(placed);
}

}  // namespace

ControlCenterDialog::ControlCenterDialog(HidTransport& transport, QWidget* parent)
    : QDialog(parent) {
    InitVeltaResources();
    InstallPanelAccessibility();
    controller_ = std::make_unique<ControlCenterController>(transport, *this);

    setWindowTitle(QString::fromLatin1(kTitle));
    // Shown on its own (tests, benchmarks) it resizes and maximises like the main window that
    // normally holds it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setFont(DialogFont(1.0));
    setWindowIcon(WindowIcon());

    BuildTemplateControls();
    CreateLedFields();
    SetUpKeyboardAndNames();
    ConnectControls();
    // Laid out before any pointer position is mapped into the panel's pixels.
    resize(sizeHint());
    FitToSize();
    Panel().SetObserver(this);
    qApp->installEventFilter(this);

    controller_->OnInitDialog();
    SyncAllFields();
    if (QWidget* first = Control(id::kSelectAll))
        first->setFocus(Qt::OtherFocusReason);
}

ControlCenterDialog::~ControlCenterDialog() {
    qApp->removeEventFilter(this);
    for (auto& [timerId, timer] : timers_)
        timer->stop();
    Panel().SetObserver(nullptr);
    // The controls still to be destroyed may signal on the way (the text box loses the focus);
    // nothing of theirs may reach the controller once it is gone.
    for (QObject* child : children())
        child->disconnect(this);
    // Joins the link's reader and closes the device while every widget still exists.
    controller_.reset();
}

QWidget* ControlCenterDialog::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

void ControlCenterDialog::SetContentEditable(bool editable) {
    for (const auto& [id, widget] : controls_) {
        if (ControlCenterController::GridCommandForControl(id))
            widget->setEnabled(editable);
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(ringLevel_), static_cast<QWidget*>(gridBrightness_),
          static_cast<QWidget*>(scrollSpeed_), static_cast<QWidget*>(scrollText_)}) {
        if (widget != nullptr)
            widget->setEnabled(editable);
    }
}

LedField* ControlCenterDialog::Field(int fieldId) const {
    const auto it = fields_.find(fieldId);
    return it == fields_.end() ? nullptr : it->second;
}

LedField* ControlCenterDialog::FieldOf(LedKind kind, int index) const {
    LedField* field = Field(ui::FieldOf(kind, index));
    return field != nullptr && field->ChildOfIndex(index) >= 0 ? field : nullptr;
}

QWidget* ControlCenterDialog::TabStop(int stopId) const {
    if (LedField* field = Field(stopId))
        return field;
    return Control(stopId);
}

double ControlCenterDialog::NaturalScale() const {
    const double desktop =
        static_cast<double>(QFontInfo(QApplication::font()).pixelSize()) / ui::kDesignCaptionPixels;
    return std::max(1.0, ScaleStepBelow(desktop));
}

double ControlCenterDialog::SmallestScale() const {
    const double readable =
        kSmallestCaptionDevicePixels / (ui::kDesignCaptionPixels * devicePixelRatioF());
    return std::ceil(readable * kScaleSteps - 1e-9) / kScaleSteps;
}

namespace {
QSize PanelSizeAt(double scale) {
    return QSize(static_cast<int>(std::ceil(ui::kClientWidth * scale - 1e-9)),
                 static_cast<int>(std::ceil(ui::kClientHeight * scale - 1e-9)));
}
}  // namespace

QSize ControlCenterDialog::sizeHint() const {
    return PanelSizeAt(NaturalScale());
}

QSize ControlCenterDialog::minimumSizeHint() const {
    return PanelSizeAt(SmallestScale());
}

void ControlCenterDialog::FitToSize() {
    const double scale = std::max(SmallestScale(), ScaleStepBelow(ui::FitScale(width(), height())));
    const QPoint origin(std::max(0, (width() - ui::ScaleEdge(ui::kClientWidth, scale)) / 2),
                        std::max(0, (height() - ui::ScaleEdge(ui::kClientHeight, scale)) / 2));
    if (scale != scale_ || origin != origin_)
        LayOut(scale, origin);
}

void ControlCenterDialog::LayOut(double scale, QPoint origin) {
    scale_ = scale;
    origin_ = origin;
    style_->SetScale(scale);
    // Every control but the Data Center box takes the dialog's font.
    setFont(DialogFont(scale));
    QFont fixed = dataCenter_->font();
    fixed.setPixelSize(ScaledPixels(kDataCenterFontPixels, scale));
    dataCenter_->setFont(fixed);
    for (std::size_t i = 0; i < kDialogTemplate.size(); ++i)
        PlaceTemplateControl(kDialogTemplate[i], *templateWidgets_[i], scale, origin);
    const QFontMetrics metrics(font());
    for (const auto& [button, caption] : wrappedCaptions_) {
        button->setText(WrapCaption(caption, metrics,
                                    button->width() - ui::ScaleEdge(kButtonTextMargin, scale)));
    }
    for (const auto& [fieldId, field] : fields_)
        field->Place(scale, origin);
}

void ControlCenterDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitToSize();
}

void ControlCenterDialog::changeEvent(QEvent* event) {
    // The desktop's font decides the size the panel asks for.
    if (event->type() == QEvent::ApplicationFontChange) {
        updateGeometry();
        FitToSize();
    }
    QDialog::changeEvent(event);
}

void ControlCenterDialog::BuildTemplateControls() {
    // Created in template order, which stacks them; the tab order is set from its own table.
    auto* fillGroup = new QButtonGroup(this);
    style_ = new PanelStyle(this);
    std::vector<QGroupBox*> frames;
    for (const TemplateControl& control : kDialogTemplate) {
        QWidget* widget = BuildTemplateControl(control, *fillGroup);
        SetUpTemplateControl(control, *widget);
        widget->setStyle(style_);
        templateWidgets_.push_back(widget);
        if (auto* frame = qobject_cast<QGroupBox*>(widget))
            frames.push_back(frame);
        if (control.id != ui::kNoId)
            controls_[control.id] = widget;
    }
    // Frames are drawn behind every other control, not around them as parents.
    for (QGroupBox* frame : frames)
        frame->lower();
    for (const auto& [controlId, tip] : kToolTips) {
        if (QWidget* widget = Control(controlId))
            widget->setToolTip(tr(tip));
    }
    // The hex columns of the log line up only in a fixed-pitch face.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kDataCenterFontPixels);
    dataCenter_->setFont(fixed);
}

QWidget* ControlCenterDialog::BuildTemplateControl(const TemplateControl& control,
                                                   QButtonGroup& fillGroup) {
    switch (control.kind) {
        case ui::ControlKind::PushButton:
            return BuildPushButton(control);
        case ui::ControlKind::RadioButton:
            return BuildRadioButton(control, fillGroup);
        case ui::ControlKind::CheckBox:
            return BuildCheckBox(control);
        case ui::ControlKind::GroupBox:
            return BuildFrame(control);
        case ui::ControlKind::Label:
            return BuildLabel(control);
        case ui::ControlKind::Edit:
            return BuildTextBox(control);
        case ui::ControlKind::ComboBox:
            colorCombo_ = new ColorPickerCombo(this);
            return colorCombo_;
        case ui::ControlKind::Slider:
            return BuildSlider(control);
    }
    return nullptr;
}

QWidget* ControlCenterDialog::BuildPushButton(const TemplateControl& control) {
    auto* button = new QPushButton(this);
    // Enter on a focused button is handled by the dialog; no button is ever the default, so
    // Enter elsewhere never clicks one.
    button->setAutoDefault(false);
    const QString caption = ToQString(control.caption);
    button->setText(caption);
    // Wrapped when laid out, at every scale.
    if ((control.flags & flag::kMultiLine) != 0)
        wrappedCaptions_.emplace_back(button, caption);
    if (control.id == id::kRfMode)
        rfButton_ = button;
    return button;
}

QWidget* ControlCenterDialog::BuildRadioButton(const TemplateControl& control,
                                               QButtonGroup& fillGroup) {
    auto* radio = new QRadioButton(ToQString(control.caption), this);
    const int mode = control.id == id::kFillAllOff ? 0 : control.id == id::kFillAllOn ? 1 : 2;
    fillGroup.addButton(radio, mode);
    fillModes_[static_cast<std::size_t>(mode)] = radio;
    return radio;
}

QWidget* ControlCenterDialog::BuildCheckBox(const TemplateControl& control) {
    auto* box = new QCheckBox(ToQString(control.caption), this);
    if (const auto feature = ControlCenterController::FeatureBoxForControl(control.id))
        featureBoxes_[*feature] = box;
    if (control.id == id::kAutoUpdate)
        autoUpdate_ = box;
    return box;
}

QWidget* ControlCenterDialog::BuildFrame(const TemplateControl& control) {
    auto* frame = new QGroupBox(ToQString(control.caption), this);
    if ((control.flags & flag::kCaptionCentred) != 0)
        frame->setAlignment(Qt::AlignHCenter);
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

QWidget* ControlCenterDialog::BuildLabel(const TemplateControl& control) {
    auto* label = new QLabel(ToQString(control.caption), this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Every label is one line; wrapping would push its last word out of sight.
    label->setWordWrap(false);
    return label;
}

QWidget* ControlCenterDialog::BuildTextBox(const TemplateControl& control) {
    if (control.id == id::kDataCenter) {
        // A view over the controller's log: the box keeps no copy of the text.
        dataCenter_ = new DataCenterView(
            [this] { return std::string_view(controller_->Log().Text()); }, this);
        return dataCenter_;
    }
    auto* edit = new QLineEdit(this);
    edit->setReadOnly((control.flags & flag::kReadOnly) != 0);
    if (control.id == id::kStatus)
        status_ = edit;
    else
        scrollText_ = edit;
    return edit;
}

QWidget* ControlCenterDialog::BuildSlider(const TemplateControl& control) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setTickPosition(QSlider::NoTicks);
    for (const SliderRange& range : kSliderRanges) {
        if (range.controlId == control.id) {
            slider->setRange(0, range.maximum);
            // Page steps of a fifth of the range: a click beside the handle moves it a good
            // way without jumping to the end.
            slider->setPageStep(std::max(1, range.maximum / 5));
        }
    }
    if (control.id == id::kScrollSpeed)
        scrollSpeed_ = slider;
    else if (control.id == id::kRingLevel)
        ringLevel_ = slider;
    else
        gridBrightness_ = slider;
    return slider;
}

void ControlCenterDialog::CreateLedFields() {
    ControlCenterController& controller = *controller_;
    for (int fieldId : ui::kLedFields) {
        auto* field = new LedField(fieldId, this);
        for (int child = 0; child < field->LedCount(); ++child)
            field->SetColors(field->IndexOfChild(child), kLedDefaultOnColor, kLedDefaultOffColor);
        // A click, Space or Enter on an LED, and a screen reader's action, all make the same
        // undo step as a click.
        field->BindToggle([&controller, kind = field->Kind()](int index) {
            controller.OnLedClicked(kind, index);
        });
        fields_[fieldId] = field;
    }
}

void ControlCenterDialog::SetUpKeyboardAndNames() {
    // Captions name their buttons; a wrapped or mnemonic caption is said as one plain line.
    for (const TemplateControl& control : kDialogTemplate) {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(control.id)))
            button->setAccessibleName(ToQString(control.caption).remove(QLatin1Char('&')));
    }
    for (const ui::AccessibleText& text : ui::kAccessibleTexts) {
        QWidget* widget = TabStop(text.id);
        widget->setAccessibleName(ToQString(text.name));
        if (!text.description.empty())
            widget->setAccessibleDescription(ToQString(text.description));
    }
    // The colour box's list, when it opens, is read as the box's own.
    colorCombo_->view()->setAccessibleName(colorCombo_->accessibleName());
    QWidget* previous = nullptr;
    for (int stop : ui::kTabOrder) {
        QWidget* widget = TabStop(stop);
        if (previous != nullptr)
            setTabOrder(previous, widget);
        previous = widget;
    }
    // The text box's own menu offers the program's undo, not a second history of its own.
    scrollText_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(scrollText_, &QWidget::customContextMenuRequested, this,
            &ControlCenterDialog::ShowScrollTextMenu);
}

void ControlCenterDialog::ShowScrollTextMenu(const QPoint& at) {
    ScrollTextMenu()->exec(scrollText_->mapToGlobal(at));
}

std::unique_ptr<QMenu> ControlCenterDialog::ScrollTextMenu() {
    std::unique_ptr<QMenu> menu(scrollText_->createStandardContextMenu());
    const EditHistory& history = controller_->History();
    // The box's entries carry its own (translated) captions and nothing else to know them by.
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith(QLineEdit::tr("&Undo")))
            undo = action;
        else if (action->text().startsWith(QLineEdit::tr("&Redo")))
            redo = action;
    }
    const std::pair<QAction*, bool> steps[] = {{undo, true}, {redo, false}};
    for (const auto& [action, isUndo] : steps) {
        if (action == nullptr)
            continue;
        action->setObjectName(isUndo ? QStringLiteral("edit-undo") : QStringLiteral("edit-redo"));
        QObject::disconnect(action, &QAction::triggered, scrollText_, nullptr);
        action->setEnabled(isUndo ? history.CanUndo() : history.CanRedo());
        connect(action, &QAction::triggered, this, [this, backwards = isUndo] {
            if (backwards)
                controller_->Undo();
            else
                controller_->Redo();
        });
    }
    return menu;
}

void ControlCenterDialog::ConnectControls() {
    ControlCenterController& controller = *controller_;
    for (const TemplateControl& control : kDialogTemplate) {
        QWidget* widget = Control(control.id);
        const int controlId = control.id;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            connect(button, &QPushButton::clicked, this,
                    [&controller, controlId] { controller.OnButtonClicked(controlId); });
        }
    }
    // A check box has toggled itself when it reports the click.
    for (auto& [feature, box] : featureBoxes_) {
        connect(box, &QCheckBox::clicked, this, [&controller, f = feature](bool checked) {
            controller.OnFeatureBoxClicked(f, checked);
        });
    }
    connect(autoUpdate_, &QCheckBox::clicked, this,
            [&controller](bool checked) { controller.OnAutoUpdateClicked(checked); });
    for (std::size_t i = 0; i < fillModes_.size(); ++i) {
        connect(fillModes_[i], &QRadioButton::toggled, this, [&controller, i](bool on) {
            if (on)
                controller.OnFillModeChosen(kFillModes[i]);
        });
    }
    ConnectValueControls();
}

void ControlCenterDialog::ConnectValueControls() {
    ControlCenterController& controller = *controller_;
    for (const auto& [controlId, slider] :
         {std::pair{id::kRingLevel, ringLevel_}, std::pair{id::kGridBrightness, gridBrightness_},
          std::pair{id::kScrollSpeed, scrollSpeed_}}) {
        QSlider* s = slider;
        connect(s, &QSlider::sliderPressed, this, [&controller] { controller.OnSliderPressed(); });
        connect(s, &QSlider::sliderReleased, this,
                [&controller] { controller.OnSliderReleased(); });
        connect(s, &QSlider::valueChanged, this,
                [&controller, id = controlId](int value) { controller.OnSliderMoved(id, value); });
        // The value shows beside the pointer while the thumb is dragged.
        connect(s, &QSlider::sliderMoved, this,
                [s](int value) { QToolTip::showText(QCursor::pos(), QString::number(value), s); });
    }
    // Typing is one undo step until a pause of a second or until the box is left.
    auto* typingPause = new QTimer(this);
    typingPause->setSingleShot(true);
    typingPause->setInterval(1000);
    connect(typingPause, &QTimer::timeout, this,
            [&controller] { controller.OnScrollTextEditFinished(); });
    connect(scrollText_, &QLineEdit::textChanged, this,
            [this, &controller, typingPause](const QString& text) {
                controller.OnScrollTextEdited(text.toUtf8().toStdString());
                typingPause->start();
                UpdateTextWarning();
            });
    connect(scrollText_, &QLineEdit::editingFinished, this,
            [&controller] { controller.OnScrollTextEditFinished(); });
    connect(colorCombo_, &ColorPickerCombo::FocusLost, this,
            [this] { controller_->OnColorKillFocus(); });
}

void ControlCenterDialog::UpdateTextWarning() {
    const TextCheck check = CheckText(Panel().ScrollText());
    QStringList problems;
    if (!check.replaced.empty()) {
        QStringList names;
        for (const std::string& name : check.replaced)
            names << QString::fromStdString(name);
        problems << tr("The display can't show %1; it gets \"?\" instead.")
                        .arg(names.join(QStringLiteral(", ")));
    }
    if (!check.cut.empty()) {
        problems << tr("The display takes %1 characters; \"%2\" is cut off.")
                        .arg(kTextPayloadBytes)
                        .arg(QString::fromStdString(check.cut));
    }
    const QString warning = problems.join(QLatin1Char(' '));
    scrollText_->setToolTip(warning.isEmpty() ? tr(kScrollTextTip) : warning);
    emit TextWarning(warning);
}

void ControlCenterDialog::OnHistoryChanged() {
    emit HistoryChanged();
}

void ControlCenterDialog::OnPlayingStopped() {
    emit PlayingStopped();
}

void ControlCenterDialog::SyncField(PanelField field) {
    const PanelState& panel = Panel();
    switch (field) {
        case PanelField::FeatureSelection:
            for (auto& [feature, box] : featureBoxes_) {
                const QSignalBlocker block(box);
                box->setChecked(panel.Feature(feature));
            }
            break;
        case PanelField::AutoUpdate: {
            const QSignalBlocker block(autoUpdate_);
            autoUpdate_->setChecked(panel.AutoUpdate());
            break;
        }
        case PanelField::FillMode: {
            const std::size_t mode = panel.GetFillMode() == FillMode::AllOff  ? 0
                                     : panel.GetFillMode() == FillMode::AllOn ? 1
                                                                              : 2;
            const QSignalBlocker block(fillModes_[mode]);
            fillModes_[mode]->setChecked(true);
            break;
        }
        case PanelField::RingLevel: {
            const QSignalBlocker block(ringLevel_);
            ringLevel_->setValue(panel.RingLevel());
            break;
        }
        case PanelField::GridBrightness: {
            const QSignalBlocker block(gridBrightness_);
            gridBrightness_->setValue(panel.GridBrightness());
            break;
        }
        case PanelField::ScrollSpeed: {
            const QSignalBlocker block(scrollSpeed_);
            scrollSpeed_->setValue(panel.ScrollSpeed());
            break;
        }
        case PanelField::ScrollText: {
            // Setting the same text again would move the caret while the user types.
            const QString text = ToQString(panel.ScrollText());
            if (scrollText_->text() != text) {
                const QSignalBlocker block(scrollText_);
                scrollText_->setText(text);
                UpdateTextWarning();
            }
            break;
        }
        case PanelField::RfMode:        // the controller sets the button caption itself
        case PanelField::CurrentColor:  // the colour box is never set from the panel
            break;
    }
}

void ControlCenterDialog::SyncAllFields() {
    for (PanelField field :
         {PanelField::FeatureSelection, PanelField::AutoUpdate, PanelField::FillMode,
          PanelField::RingLevel, PanelField::GridBrightness, PanelField::ScrollSpeed,
          PanelField::ScrollText}) {
        SyncField(field);
    }
}

void ControlCenterDialog::ShowWriteError() {
    emit LinkChanged();
    QMessageBox::critical(this, ToQString(kTextWriteErrorCaption), ToQString(kTextWriteError));
}

void ControlCenterDialog::ShowHint(std::string_view hint) {
    emit StatusMessage(ToQString(hint));
}

void ControlCenterDialog::SetCommandBusy(int controlId, bool busy) {
    QWidget* button = Control(controlId);
    if (button == nullptr)
        return;
    if (busy) {
        // Disabling the focused button makes Qt move the focus on to the next control: a keyboard
        // user who pressed Space on it would find the focus somewhere else once the send is done.
        const bool hadFocus = button->hasFocus();
        button->setEnabled(false);
        if (hadFocus)
            focusMovedFrom_[controlId] = QApplication::focusWidget();
        return;
    }
    button->setEnabled(true);
    const auto moved = focusMovedFrom_.find(controlId);
    if (moved == focusMovedFrom_.end())
        return;
    // Only while the focus is still where Qt put it: a user who moved on stays where they went.
    if (moved->second != nullptr && QApplication::focusWidget() == moved->second)
        button->setFocus(Qt::OtherFocusReason);
    focusMovedFrom_.erase(moved);
}

void ControlCenterDialog::DataCenterWarning(std::string_view text) {
    emit StatusMessage(ToQString(text));
}

void ControlCenterDialog::DataCenterFull(std::string_view text) {
    emit StatusMessage(ToQString(text));
    QMessageBox::warning(this, tr("Data Center"), ToQString(text));
}

void ControlCenterDialog::SetStatusText(std::string_view text) {
    status_->setText(ToQString(text));
    emit LinkChanged();
}

void ControlCenterDialog::PostToUiThread(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void ControlCenterDialog::RefreshDataCenter(std::string_view log, std::size_t shownBefore) {
    dataCenter_->Refresh(log, shownBefore);
}

void ControlCenterDialog::SetRfButtonCaption(std::string_view caption) {
    const QString text = ToQString(caption);
    for (auto& [button, wrapped] : wrappedCaptions_) {
        if (button == rfButton_)
            wrapped = text;
    }
    rfButton_->setAccessibleName(text);
    const int room = rfButton_->width() - ui::ScaleEdge(kButtonTextMargin, scale_);
    rfButton_->setText(WrapCaption(text, QFontMetrics(font()), room));
}

void ControlCenterDialog::StartTimer(int timerId, int periodMs) {
    QTimer*& timer = timers_[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        // The 10 ms painting tick needs its period kept; a coarse timer may stretch it by 5 %.
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, timerId] { controller_->OnTimer(timerId); });
    }
    timer->start(periodMs);  // restarts the period when already running
}

void ControlCenterDialog::StopTimer(int timerId) {
    if (const auto it = timers_.find(timerId); it != timers_.end())
        it->second->stop();
}

Color ControlCenterDialog::PickedColor() {
    return colorCombo_->SelectedColor();
}

// Every write reaches the field; it repaints an LED only when its look changed.
void ControlCenterDialog::OnCellWritten(int index, bool on) {
    if (LedField* field = FieldOf(LedKind::GridCell, index))
        field->SetState(index, on);
}

void ControlCenterDialog::OnPodMarkWritten(int pod, bool on) {
    if (LedField* field = FieldOf(LedKind::Pod, pod))
        field->SetState(pod, on);
}

void ControlCenterDialog::OnRingWritten(int ring, bool on) {
    if (LedField* field = FieldOf(LedKind::Ring, ring))
        field->SetState(ring, on);
}

void ControlCenterDialog::OnPodLedColorsChanged(int pod, Color onColor, Color offColor) {
    if (LedField* field = FieldOf(LedKind::Pod, pod))
        field->SetColors(pod, onColor, offColor);
}

void ControlCenterDialog::OnFieldChanged(PanelField field) {
    SyncField(field);
    emit FieldChanged();
}

void ControlCenterDialog::done(int result) {
    if (!isWindow()) {
        // Embedded: the main window decides whether the program may end.
        emit EndRequested();
        return;
    }
    // The ticks end with the window.
    for (auto& [timerId, timer] : timers_)
        timer->stop();
    QDialog::done(result);
}

void ControlCenterDialog::closeEvent(QCloseEvent* event) {
    // The close box ends the link first; Escape and Enter end the dialog without this step (the
    // link still ends when the dialog is destroyed).
    controller_->OnClose();
    QDialog::closeEvent(event);
}

void ControlCenterDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        // Reaches the dialog only from controls that leave Enter alone: a push button clicks
        // itself; in the scrolling-text box Enter takes the text typed so far as one step (what
        // leaving the box does) and the program goes on; anything else (check box, radio,
        // slider, colour box, Status box) ends the dialog.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button != nullptr && button->isEnabled()) {
            button->click();
        } else if (focusWidget() == scrollText_) {
            controller_->OnScrollTextEditFinished();
        } else {
            accept();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ControlCenterDialog::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
        (watched == scrollText_ || watched == status_ || watched == dataCenter_) &&
        IsProgramKey(*static_cast<QKeyEvent*>(event))) {
        // Left unclaimed, the override lets the window's action run; a key no action took does
        // nothing at all rather than the box's own undo or cursor move.
        event->setAccepted(type == QEvent::KeyPress);
        return true;
    }
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
        type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) {
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // While a button is held the widget under the press keeps receiving the moves, so
            // the position is relative to that widget, not to the one under the pointer now.
            const QPointF local = mouse->position();
            const QPointF inDialog = (widget == this || isAncestorOf(widget))
                                         ? widget->mapTo(this, local)
                                         : mapFromGlobal(mouse->globalPosition());
            // Back into the panel's pixels at scale 1, where the painting map is written.
            const PointerSample before = pointer_;
            pointer_.x = static_cast<int>(std::floor((inDialog.x() - origin_.x()) / scale_));
            pointer_.y = static_cast<int>(std::floor((inDialog.y() - origin_.y()) / scale_));
            const bool wasHeld = pointer_.rightHeld || pointer_.middleHeld;
            pointer_.rightHeld = (mouse->buttons() & Qt::RightButton) != 0;
            pointer_.middleHeld = (mouse->buttons() & Qt::MiddleButton) != 0;
            const bool held = pointer_.rightHeld || pointer_.middleHeld;
            if (held != wasHeld)
                controller_->OnPaintButtonsChanged(held);
            else if (pointer_.x != before.x || pointer_.y != before.y ||
                     pointer_.rightHeld != before.rightHeld ||
                     pointer_.middleHeld != before.middleHeld)
                controller_->OnPointerMoved();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ControlCenterDialog::ShowLinkDiagnostic(std::string_view reason, bool permissionProblem) {
    const QString text = ToQString(reason);
    status_->setToolTip(text);
    emit LinkDiagnostic(text);
    std::fprintf(stderr, "velta-control-center: %s\n", text.toLocal8Bit().constData());
    if (permissionProblem && !permissionBoxShown_) {
        permissionBoxShown_ = true;
        QMessageBox::warning(this, ToQString(kTitle), text);
    }
}

void ControlCenterDialog::ClearLinkDiagnostic() {
    status_->setToolTip(QString());
    emit LinkDiagnostic(QString());
}

}  // namespace velta
