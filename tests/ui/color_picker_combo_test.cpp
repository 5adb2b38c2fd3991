#include "ui/color_picker_combo.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
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
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/color_chooser_dialog.h"

namespace velta {
namespace {

constexpr int kCustomIndex = 11;

// The items, colours written as 0xRRGGBB so the byte order of the stored 0x00BBGGRR values is
// checked as well.
constexpr std::pair<const char*, QRgb> kExpectedItems[] = {
    {"Off", 0x000000},    {"Red", 0xFF0000},    {"Green", 0x00FF00}, {"Blue", 0x0000FF},
    {"Orange", 0xFF7F00}, {"Pink", 0xFF00FF},   {"Cyan", 0x00FFE8},  {"Magenta", 0x7F007F},
    {"Yellow", 0xFFFF00}, {"Violet", 0x7F00FF}, {"White", 0xFFFFFF}, {"Custom...", 0xC8C8C8},
};

Color Bgr(QRgb rgb) {
    return static_cast<Color>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

class ColorPickerComboTest : public ::testing::Test {
  protected:
    void SetUp() override {
        combo->setGeometry(10, 10, 122, 22);
        other->setGeometry(10, 50, 100, 22);
        host.resize(200, 100);
        // Records every call of the chooser and answers with the scripted result.
        combo->SetColorChooser([this](QWidget* parent, Color initial) {
            calls.emplace_back(parent, initial);
            return answer;
        });
    }

    void ShowActive() {
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    QWidget host;
    QPointer<ColorPickerCombo> combo = new ColorPickerCombo(&host);
    QPointer<QLineEdit> other = new QLineEdit(&host);
    std::vector<std::pair<QWidget*, Color>> calls;
    std::optional<Color> answer;
};

TEST_F(ColorPickerComboTest, ListsNamedColoursThenCustomAndStartsOnOff) {
    EXPECT_EQ(combo->currentText(), QStringLiteral("Off"));
    EXPECT_EQ(combo->SelectedColor(), 0u);
    ASSERT_EQ(combo->count(), 12);
    for (int i = 0; i < combo->count(); ++i) {
        const auto& [text, rgb] = kExpectedItems[i];
        EXPECT_EQ(combo->itemText(i), QString::fromLatin1(text)) << i;
        EXPECT_EQ(combo->itemData(i, ColorPickerCombo::kColorRole).toUInt(), Bgr(rgb)) << text;
        if (i < kCustomIndex) {
            combo->setCurrentIndex(i);
            EXPECT_EQ(combo->SelectedColor(), Bgr(rgb)) << text;
        }
    }
    EXPECT_TRUE(calls.empty()) << "named colours never open the chooser";
    combo->setCurrentIndex(-1);
    EXPECT_EQ(combo->SelectedColor(), 0u);
}

TEST_F(ColorPickerComboTest, ArrowKeyOntoCustomOpensChooserAndOkSetsOnlyCustom) {
    ShowActive();
    combo->setFocus();
    combo->setCurrentIndex(10);
    answer = 0x123456;
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentIndex(), kCustomIndex);
    // The chooser starts from black, over the box.
    EXPECT_EQ(calls, (std::vector<std::pair<QWidget*, Color>>{{combo.data(), 0}}));
    EXPECT_EQ(combo->SelectedColor(), 0x123456u);
    for (int i = 0; i < kCustomIndex; ++i)
        EXPECT_EQ(combo->ItemColor(i), Bgr(kExpectedItems[i].second)) << i;
}

TEST_F(ColorPickerComboTest, EachMoveOntoCustomAsksAgainAndCancelKeepsTheColour) {
    // select, answer, chooser calls so far, Custom's colour after it
    const std::tuple<int, std::optional<Color>, std::size_t, Color> steps[] = {
        {kCustomIndex, std::nullopt, 1, 0xC8C8C8},  // cancelled: the start colour stays
        {kCustomIndex, 0x010203, 1, 0xC8C8C8},      // no change of selection, no chooser
        {2, 0x010203, 1, 0xC8C8C8},
        {kCustomIndex, 0x00AA55, 2, 0x00AA55},
        {4, std::nullopt, 2, 0x00AA55},
        {kCustomIndex, std::nullopt, 3, 0x00AA55},  // a later cancel keeps the chosen colour
    };
    for (const auto& [select, reply, chooserCalls, customColor] : steps) {
        answer = reply;
        combo->setCurrentIndex(select);
        EXPECT_EQ(calls.size(), chooserCalls) << "select " << select;
        EXPECT_EQ(combo->ItemColor(kCustomIndex), customColor) << "select " << select;
    }
}

TEST_F(ColorPickerComboTest, OnlyTheExactCustomTextOpensTheChooser) {
    for (const char* text : {"Custom...", "custom...", "CUSTOM...", "Custom", "Custom..",
                             "Custom... ", " Custom...", ""}) {
        EXPECT_EQ(ColorPickerCombo::IsCustomItemText(QString::fromLatin1(text)),
                  text == std::string_view("Custom..."))
            << '"' << text << '"';
    }
    combo->addItem(QStringLiteral("custom..."), QVariant::fromValue<uint>(0x0A0B0C));
    combo->setCurrentIndex(combo->count() - 1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(combo->SelectedColor(), 0x0A0B0Cu);
}

TEST_F(ColorPickerComboTest, FocusLostWhenFocusMovesToAnotherWidgetOnly) {
    ShowActive();
    QSignalSpy spy(combo.data(), &ColorPickerCombo::FocusLost);
    combo->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(combo->hasFocus());
    // Opening and closing the list is not leaving the box.
    combo->showPopup();
    QApplication::processEvents();
    combo->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(spy.count(), 1);
}

// Paints one list item into an image the way the drop-down list does.
QImage PaintListItem(const ColorPickerCombo& box, int index, bool selected, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.state =
        selected ? QStyle::State_Enabled | QStyle::State_Selected : QStyle::State_Enabled;
    option.palette = box.palette();
    option.fontMetrics = box.fontMetrics();
    box.itemDelegate()->paint(&painter, option, box.model()->index(index, 0));
    return image;
}

TEST_F(ColorPickerComboTest, ListItemShowsFramedSwatchInTheLeftQuarterAndInvertedText) {
    // Item 100 x 20: quarter 25, so the swatch covers x 2..24, y 2..17, framed in black.
    for (bool selected : {false, true}) {
        const QImage image = PaintListItem(*combo, 3, selected, QSize(100, 20));
        const QColor background = combo->palette().color(
            QPalette::Active, selected ? QPalette::Highlight : QPalette::Base);
        for (QPoint at : {QPoint(1, 10), QPoint(99, 0), QPoint(25, 10), QPoint(12, 18)})
            EXPECT_EQ(image.pixelColor(at), background) << selected << " " << at.x();
        EXPECT_EQ(image.pixelColor(12, 10), QColor(0, 0, 255)) << selected << ": own colour";
        for (QPoint frame : {QPoint(2, 10), QPoint(24, 10), QPoint(12, 2), QPoint(12, 17)})
            EXPECT_EQ(image.pixelColor(frame), QColor(Qt::black)) << selected << " " << frame.y();
    }

    // A selected item's text, from 2 pixels right of the quarter (x 32) and 2 below the top,
    // takes the inverted text colour.
    const QColor text = combo->palette().color(QPalette::Active, QPalette::WindowText);
    const QColor inverted(255 - text.red(), 255 - text.green(), 255 - text.blue());
    const QImage image = PaintListItem(*combo, 4, true, QSize(120, 24));
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
    const auto yellowPixels = [&] {
        const QImage image = combo->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width() / 4; ++x)
                n += image.pixelColor(x, y) == QColor(255, 255, 0) ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(yellowPixels(), 0);
    combo->setCurrentIndex(8);  // Yellow
    EXPECT_GT(yellowPixels(), 20);
}

TEST(ColorChooserDialogTest, ParsesHexAsRedGreenBlue) {
    const std::pair<const char*, std::optional<Color>> cases[] = {
        {"#FF7F00", 0x007FFFu},     {"00ffe8", 0xE8FF00u},      {"#7F00FF", 0xFF007Fu},
        {"#000000", 0x000000u},     {"#c8C8c8", 0xC8C8C8u},     {"", std::nullopt},
        {"#12345", std::nullopt},   {"#1234567", std::nullopt}, {"#GG0000", std::nullopt},
        {"##FF0000", std::nullopt}, {"FF 000", std::nullopt},
    };
    for (const auto& [text, color] : cases)
        EXPECT_EQ(ColorChooserDialog::ParseHex(QString::fromLatin1(text)), color) << text;
    EXPECT_EQ(ColorChooserDialog::FormatHex(0x007FFF), QStringLiteral("#FF7F00"));
    EXPECT_EQ(ColorChooserDialog::FormatHex(0x0A0B0C), QStringLiteral("#0C0B0A"));
}

TEST(ColorChooserDialogTest, ChannelsAndHexFieldStayInStep) {
    ColorChooserDialog dialog(0x102030);
    QSpinBox* spins[3];
    int n = 0;
    for (const char* name : {"redSpin", "greenSpin", "blueSpin"})
        ASSERT_NE(spins[n++] = dialog.findChild<QSpinBox*>(QLatin1String(name)), nullptr);
    auto* hex = dialog.findChild<QLineEdit*>(QStringLiteral("hexEdit"));
    ASSERT_NE(hex, nullptr);
    const auto channels = [&] {
        return std::tuple(spins[0]->value(), spins[1]->value(), spins[2]->value());
    };
    EXPECT_EQ(channels(), std::tuple(0x30, 0x20, 0x10));
    EXPECT_EQ(hex->text(), QStringLiteral("#302010"));

    spins[0]->setValue(255);
    spins[1]->setValue(127);
    spins[2]->setValue(0);
    EXPECT_EQ(dialog.CurrentColor(), 0x007FFFu);
    EXPECT_EQ(hex->text(), QStringLiteral("#FF7F00"));

    hex->clear();
    QTest::keyClicks(hex, QStringLiteral("#00FFE"));
    EXPECT_EQ(dialog.CurrentColor(), 0x007FFFu) << "five digits are not a colour yet";
    QTest::keyClicks(hex, QStringLiteral("8"));
    EXPECT_EQ(dialog.CurrentColor(), 0xE8FF00u);
    EXPECT_EQ(channels(), std::tuple(0, 255, 232));

    auto* basic = dialog.findChild<QAbstractButton*>(QStringLiteral("basicColor8"));
    ASSERT_NE(basic, nullptr);
    basic->click();
    EXPECT_EQ(dialog.CurrentColor(), 0x0000FFu) << "the first colour of row two is pure red";
}

// Answers the modal chooser as soon as it is up: sets a colour and confirms, or cancels.
void AnswerChooserWhenShown(std::optional<Color> answer) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* dialog = qobject_cast<ColorChooserDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        poll->deleteLater();
        poll->stop();
        if (answer)
            dialog->SetCurrentColor(*answer);
        answer ? dialog->accept() : dialog->reject();
    });
    poll->start(10);
}

TEST(ColorChooserDialogTest, RealChooserSetsCustomAndWritesNoFile) {
    // HOME and the XDG folders point at an empty folder for this test.
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved;
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        saved.emplace_back(
            name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, home.path().toLocal8Bit());
    }

    QWidget host;
    auto* combo = new ColorPickerCombo(&host);
    host.show();
    for (std::optional<Color> answer : {std::optional<Color>(0x3366CC), std::optional<Color>()}) {
        combo->setCurrentIndex(0);
        AnswerChooserWhenShown(answer);
        combo->setCurrentIndex(kCustomIndex);
        EXPECT_EQ(combo->ItemColor(kCustomIndex), 0x3366CCu) << "a cancel keeps the colour";
    }

    for (const auto& [name, value] : saved)
        value ? qputenv(name, *value) : qunsetenv(name);
    QDirIterator files(home.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    EXPECT_FALSE(files.hasNext()) << files.next().toStdString();
}

}  // namespace
}  // namespace velta
