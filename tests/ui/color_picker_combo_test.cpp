#include "ui/color_picker_combo.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <vector>

#include "ui/color_chooser_dialog.h"

namespace velta {
namespace {

constexpr int kCustomIndex = 11;

// Expected item list, colours written as red, green, blue so the byte order of the stored
// 0x00BBGGRR values is checked as well.
struct ExpectedItem {
    const char* text;
    int red;
    int green;
    int blue;
};
constexpr ExpectedItem kExpectedItems[] = {
    {"Off", 0, 0, 0},        {"Red", 255, 0, 0},       {"Green", 0, 255, 0},
    {"Blue", 0, 0, 255},     {"Orange", 255, 127, 0},  {"Pink", 255, 0, 255},
    {"Cyan", 0, 255, 232},   {"Magenta", 127, 0, 127}, {"Yellow", 255, 255, 0},
    {"Violet", 127, 0, 255}, {"White", 255, 255, 255}, {"Custom...", 200, 200, 200},
};

Color Bgr(int red, int green, int blue) {
    return static_cast<Color>(red | (green << 8) | (blue << 16));
}

// Records every call of the injected chooser and answers with a scripted result.
struct FakeChooser {
    std::vector<Color> initials;
    std::vector<QWidget*> parents;
    std::optional<Color> answer;

    ColorPickerCombo::ColorChooser Make() {
        return [this](QWidget* parent, Color initial) {
            parents.push_back(parent);
            initials.push_back(initial);
            return answer;
        };
    }
};

class ColorPickerComboTest : public ::testing::Test {
  protected:
    void SetUp() override {
        combo = new ColorPickerCombo(&host);
        combo->setGeometry(10, 10, 122, 22);
        other = new QLineEdit(&host);
        other->setGeometry(10, 50, 100, 22);
        combo->SetColorChooser(chooser.Make());
        host.resize(200, 100);
    }

    void ShowActive() {
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    QWidget host;
    QPointer<ColorPickerCombo> combo;
    QPointer<QLineEdit> other;
    FakeChooser chooser;
};

TEST_F(ColorPickerComboTest, ListsNamedColoursThenCustomAndStartsOnOff) {
    EXPECT_EQ(combo->currentText(), QStringLiteral("Off"));
    EXPECT_EQ(combo->SelectedColor(), 0u);
    ASSERT_EQ(combo->count(), 12);
    for (int i = 0; i < combo->count(); ++i) {
        const ExpectedItem& e = kExpectedItems[i];
        EXPECT_EQ(combo->itemText(i), QString::fromLatin1(e.text)) << i;
        EXPECT_EQ(combo->itemData(i, ColorPickerCombo::kColorRole).toUInt(),
                  Bgr(e.red, e.green, e.blue))
            << e.text;
        if (i < kCustomIndex) {
            combo->setCurrentIndex(i);
            EXPECT_EQ(combo->SelectedColor(), Bgr(e.red, e.green, e.blue)) << e.text;
        }
    }
    EXPECT_TRUE(chooser.initials.empty()) << "named colours never open the chooser";
    combo->setCurrentIndex(-1);
    EXPECT_EQ(combo->SelectedColor(), 0u);
}

TEST_F(ColorPickerComboTest, ArrowKeyOntoCustomOpensChooserAndOkSetsOnlyCustom) {
    ShowActive();
    combo->setFocus();
    combo->setCurrentIndex(10);
    chooser.answer = 0x123456;
    QTest::keyClick(combo, Qt::Key_Down);

    ASSERT_EQ(combo->currentIndex(), kCustomIndex);
    ASSERT_EQ(chooser.initials.size(), 1u);
    EXPECT_EQ(chooser.initials[0], 0u) << "the chooser starts from black";
    EXPECT_EQ(chooser.parents[0], combo.data());
    EXPECT_EQ(combo->SelectedColor(), 0x123456u);
    for (int i = 0; i < kCustomIndex; ++i) {
        const ExpectedItem& e = kExpectedItems[i];
        EXPECT_EQ(combo->ItemColor(i), Bgr(e.red, e.green, e.blue)) << e.text;
    }
}

TEST_F(ColorPickerComboTest, EachMoveOntoCustomAsksAgainAndCancelKeepsTheColour) {
    struct Step {
        int select;
        std::optional<Color> answer;
        std::size_t chooserCalls;
        Color customColor;
    };
    const Step steps[] = {
        {kCustomIndex, std::nullopt, 1, 0xC8C8C8},  // cancelled: the start colour stays
        {kCustomIndex, 0x010203, 1, 0xC8C8C8},      // no change of selection, no chooser
        {2, 0x010203, 1, 0xC8C8C8},
        {kCustomIndex, 0x00AA55, 2, 0x00AA55},
        {4, std::nullopt, 2, 0x00AA55},
        {kCustomIndex, std::nullopt, 3, 0x00AA55},  // a later cancel keeps the chosen colour
    };
    for (const Step& step : steps) {
        chooser.answer = step.answer;
        combo->setCurrentIndex(step.select);
        EXPECT_EQ(chooser.initials.size(), step.chooserCalls) << "select " << step.select;
        EXPECT_EQ(combo->ItemColor(kCustomIndex), step.customColor) << "select " << step.select;
    }
}

TEST_F(ColorPickerComboTest, OnlyTheExactCustomTextOpensTheChooser) {
    struct Case {
        const char* text;
        bool opens;
    };
    const Case cases[] = {
        {"Custom...", true}, {"custom...", false},  {"CUSTOM...", false},  {"Custom", false},
        {"Custom..", false}, {"Custom... ", false}, {" Custom...", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorPickerCombo::IsCustomItemText(QString::fromLatin1(c.text)), c.opens)
            << '"' << c.text << '"';
    }

    combo->addItem(QStringLiteral("custom..."), QVariant::fromValue<uint>(0x0A0B0C));
    combo->setCurrentIndex(combo->count() - 1);
    EXPECT_TRUE(chooser.initials.empty());
    EXPECT_EQ(combo->SelectedColor(), 0x0A0B0Cu);
}

TEST_F(ColorPickerComboTest, FocusLostWhenFocusMovesToAnotherWidgetOnly) {
    ShowActive();
    QSignalSpy spy(combo.data(), &ColorPickerCombo::FocusLost);
    combo->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(combo->hasFocus());
    EXPECT_EQ(spy.count(), 0);

    combo->showPopup();
    QApplication::processEvents();
    EXPECT_EQ(spy.count(), 0) << "opening the list is not leaving the box";
    combo->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);

    other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(spy.count(), 1);
}

// Paints one list item into an image the way the drop-down list does.
QImage PaintListItem(const ColorPickerCombo& box, int index, QStyle::State state, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.state = state;
    option.palette = box.palette();
    option.fontMetrics = box.fontMetrics();
    box.itemDelegate()->paint(&painter, option, box.model()->index(index, 0));
    return image;
}

TEST_F(ColorPickerComboTest, ListItemShowsFramedSwatchInTheLeftQuarter) {
    // Item 100 x 20: quarter 25, so the swatch covers x 2..24, y 2..17, framed in black.
    const QPalette pal = combo->palette();
    struct Case {
        const char* what;
        QStyle::State state;
        QColor background;
    };
    const Case cases[] = {
        {"plain", QStyle::State_Enabled, pal.color(QPalette::Active, QPalette::Base)},
        {"selected", QStyle::State_Enabled | QStyle::State_Selected,
         pal.color(QPalette::Active, QPalette::Highlight)},
    };
    for (const Case& c : cases) {
        const QImage image = PaintListItem(*combo, 3, c.state, QSize(100, 20));
        EXPECT_EQ(image.pixelColor(1, 10), c.background) << c.what;
        EXPECT_EQ(image.pixelColor(99, 0), c.background) << c.what;
        EXPECT_EQ(image.pixelColor(25, 10), c.background) << c.what;
        EXPECT_EQ(image.pixelColor(12, 10), QColor(0, 0, 255)) << c.what << ": own colour";
        for (QPoint frame : {QPoint(2, 10), QPoint(24, 10), QPoint(12, 2), QPoint(12, 17)})
            EXPECT_EQ(image.pixelColor(frame), QColor(Qt::black)) << c.what;
        EXPECT_EQ(image.pixelColor(12, 18), c.background) << c.what;
    }
}

TEST_F(ColorPickerComboTest, SelectedItemTextUsesInvertedTextColour) {
    const QColor text = combo->palette().color(QPalette::Active, QPalette::WindowText);
    const QColor inverted(255 - text.red(), 255 - text.green(), 255 - text.blue());
    const QImage image =
        PaintListItem(*combo, 4, QStyle::State_Enabled | QStyle::State_Selected, QSize(120, 24));
    // Text starts 2 pixels right of the quarter (x 32) and 2 below the top.
    int invertedPixels = 0;
    int plainTextPixels = 0;
    for (int y = 2; y < 24; ++y) {
        for (int x = 32; x < 120; ++x) {
            invertedPixels += image.pixelColor(x, y) == inverted ? 1 : 0;
            plainTextPixels += image.pixelColor(x, y) == text ? 1 : 0;
        }
    }
    EXPECT_GT(invertedPixels, 0);
    EXPECT_EQ(plainTextPixels, 0);
}

TEST_F(ColorPickerComboTest, ClosedBoxShowsTheSelectedSwatch) {
    ShowActive();
    const auto countPixels = [&](const QColor& color) {
        const QImage image = combo->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width() / 4; ++x)
                n += image.pixelColor(x, y) == color ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(countPixels(QColor(255, 255, 0)), 0);
    combo->setCurrentIndex(8);  // Yellow
    EXPECT_GT(countPixels(QColor(255, 255, 0)), 20);
}

struct HexCase {
    const char* text;
    std::optional<Color> color;
};

TEST(ColorChooserDialogTest, ParsesHexAsRedGreenBlue) {
    const HexCase cases[] = {
        {"#FF7F00", 0x007FFFu},     {"00ffe8", 0xE8FF00u},      {"#7F00FF", 0xFF007Fu},
        {"#000000", 0x000000u},     {"#c8C8c8", 0xC8C8C8u},     {"", std::nullopt},
        {"#12345", std::nullopt},   {"#1234567", std::nullopt}, {"#GG0000", std::nullopt},
        {"##FF0000", std::nullopt}, {"FF 000", std::nullopt},
    };
    for (const HexCase& c : cases)
        EXPECT_EQ(ColorChooserDialog::ParseHex(QString::fromLatin1(c.text)), c.color) << c.text;
    EXPECT_EQ(ColorChooserDialog::FormatHex(0x007FFF), QStringLiteral("#FF7F00"));
    EXPECT_EQ(ColorChooserDialog::FormatHex(0x0A0B0C), QStringLiteral("#0C0B0A"));
}

TEST(ColorChooserDialogTest, ChannelsAndHexFieldStayInStep) {
    ColorChooserDialog dialog(0x102030);
    auto* red = dialog.findChild<QSpinBox*>(QStringLiteral("redSpin"));
    auto* green = dialog.findChild<QSpinBox*>(QStringLiteral("greenSpin"));
    auto* blue = dialog.findChild<QSpinBox*>(QStringLiteral("blueSpin"));
    auto* hex = dialog.findChild<QLineEdit*>(QStringLiteral("hexEdit"));
    ASSERT_TRUE(red && green && blue && hex);
    EXPECT_EQ(red->value(), 0x30);
    EXPECT_EQ(green->value(), 0x20);
    EXPECT_EQ(blue->value(), 0x10);
    EXPECT_EQ(hex->text(), QStringLiteral("#302010"));

    red->setValue(255);
    green->setValue(127);
    blue->setValue(0);
    EXPECT_EQ(dialog.CurrentColor(), 0x007FFFu);
    EXPECT_EQ(hex->text(), QStringLiteral("#FF7F00"));

    hex->clear();
    QTest::keyClicks(hex, QStringLiteral("#00FFE"));
    EXPECT_EQ(dialog.CurrentColor(), 0x007FFFu) << "five digits are not a colour yet";
    QTest::keyClicks(hex, QStringLiteral("8"));
    EXPECT_EQ(dialog.CurrentColor(), 0xE8FF00u);
    EXPECT_EQ(red->value(), 0);
    EXPECT_EQ(blue->value(), 232);

    auto* basic = dialog.findChild<QAbstractButton*>(QStringLiteral("basicColor8"));
    ASSERT_NE(basic, nullptr);
    basic->click();
    EXPECT_EQ(dialog.CurrentColor(), 0x0000FFu) << "the first colour of row two is pure red";
}

// Points HOME and the XDG directories at an empty folder for one test, and restores them.
class ScopedHome {
  public:
    explicit ScopedHome(const QString& dir) {
        for (const char* name : kNames) {
            saved_.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                             : std::nullopt);
            qputenv(name, dir.toLocal8Bit());
        }
    }
    ~ScopedHome() {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i])
                qputenv(kNames[i], *saved_[i]);
            else
                qunsetenv(kNames[i]);
        }
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

  private:
    static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                             "XDG_CACHE_HOME", "XDG_STATE_HOME"};
    std::vector<std::optional<QByteArray>> saved_;
};

QStringList FilesUnder(const QString& dir) {
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// Answers the modal chooser as soon as it is up: sets a colour and confirms, or cancels.
void AnswerChooserWhenShown(std::optional<Color> answer) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* dialog = qobject_cast<ColorChooserDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        if (answer) {
            dialog->SetCurrentColor(*answer);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    poll->start();
}

TEST(ColorChooserDialogTest, RealChooserSetsCustomAndWritesNoFile) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const ScopedHome scoped(home.path());

    QWidget host;
    auto* combo = new ColorPickerCombo(&host);
    host.show();

    AnswerChooserWhenShown(Color{0x3366CC});
    combo->setCurrentIndex(kCustomIndex);
    EXPECT_EQ(combo->ItemColor(kCustomIndex), 0x3366CCu);

    combo->setCurrentIndex(0);
    AnswerChooserWhenShown(std::nullopt);
    combo->setCurrentIndex(kCustomIndex);
    EXPECT_EQ(combo->ItemColor(kCustomIndex), 0x3366CCu);

    EXPECT_EQ(FilesUnder(home.path()), QStringList());
}

}  // namespace
}  // namespace velta
