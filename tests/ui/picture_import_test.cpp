// The picture import dialog on the offscreen platform, with pictures made by the test.
#include "ui/picture_import_dialog.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

namespace velta {
namespace {

int Lit(const GridCells& cells) {
    int n = 0;
    for (const bool on : cells)
        n += on ? 1 : 0;
    return n;
}

// A white 200 x 100 picture with a black left half and a mid-grey (100) right half.
QImage TwoTone() {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 100, 100, Qt::black);
    painter.fillRect(100, 0, 100, 100, QColor(100, 100, 100));
    return image;
}

// Fit: 200 x 100 is 24 x 12 cells in the middle (black 12, grey 12).
TEST(PictureImportDialog, PreviewFollowsTheControls) {
    PictureImportDialog dialog(TwoTone(), "two.png");
    EXPECT_EQ(dialog.windowTitle(), "Import Picture - two.png");
    struct Step {
        const char* name;
        std::function<void()> act;
        QString shown;
        int lit;
    };
    const Step steps[] = {
        {"start: threshold 128 lights black and grey", [] {}, "128", 24 * 12},
        {"threshold 50 lights only black", [&] { dialog.ThresholdSlider()->setValue(50); }, "50",
         12 * 12},
        {"invert lights grey only (letterbox stays off)", [&] { dialog.InvertBox()->click(); },
         "50", 12 * 12},
        {"fill covers the grid: grey half of 32 columns", [&] { dialog.FillButton()->click(); },
         "50", 16 * 12},
        {"back to fit", [&] { dialog.FitButton()->click(); }, "50", 12 * 12},
        {"keyboard: End takes the slider to 255",
         [&] {
             dialog.InvertBox()->click();
             QTest::keyClick(dialog.ThresholdSlider(), Qt::Key_End);
         },
         "255", 24 * 12},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(dialog.ThresholdValue()->text(), step.shown);
        EXPECT_EQ(Lit(dialog.Result()), step.lit);
        EXPECT_EQ(dialog.Preview()->Cells(), dialog.Result());
    }
    // The grey half lies right of the black one.
    dialog.ThresholdSlider()->setValue(50);
    EXPECT_TRUE(dialog.Result()[PanelState::CellIndex(5, 4)]);
    EXPECT_FALSE(dialog.Result()[PanelState::CellIndex(5, 16)]);
    EXPECT_FALSE(dialog.Result()[PanelState::CellIndex(5, 3)]);  // letterbox
    // The preview paints without trouble at its fixed size.
    EXPECT_FALSE(dialog.Preview()->grab().isNull());
}

TEST(PictureImportDialog, LoadsPicturesAndRefusesWhatItCannotUse) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath("two.png");
    const QString bmp = dir.filePath("two.bmp");
    const QString jpeg = dir.filePath("two.jpg");
    ASSERT_TRUE(TwoTone().save(png));
    ASSERT_TRUE(TwoTone().save(bmp));
    ASSERT_TRUE(TwoTone().save(jpeg));
    const QString text = dir.filePath("notes.png");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
    }
    // 9000 x 8000 is 72 megapixels; one bit per pixel keeps the file small.
    const QString huge = dir.filePath("huge.png");
    {
        QImage big(9000, 8000, QImage::Format_Mono);
        big.fill(0);
        ASSERT_TRUE(big.save(huge));
    }
    struct Case {
        QString path;
        bool ok;
        QString message;
    };
    const Case cases[] = {
        {png, true, {}},
        {bmp, true, {}},
        {jpeg, true, {}},
        {dir.filePath("missing.png"), false, "missing.png: the file does not exist"},
        {text, false, "notes.png: not a picture"},
        {huge, false,
         "huge.png: the picture is 9000 x 8000 pixels; pictures of up to 64 megapixels can be "
         "imported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString error;
        const auto picture = PictureImportDialog::LoadPicture(c.path, &error);
        EXPECT_EQ(picture.has_value(), c.ok);
        if (c.ok) {
            EXPECT_EQ(picture->size(), QSize(200, 100));
            EXPECT_TRUE(error.isEmpty());
        } else {
            EXPECT_TRUE(error.startsWith(c.message)) << error.toStdString();
        }
    }
}

// Run: OK gives the cells, Cancel nothing, a bad file its message without a dialog.
TEST(PictureImportDialog, RunGivesTheCellsOnOkOnly) {
    QTemporaryDir dir;
    const QString png = dir.filePath("two.png");
    ASSERT_TRUE(TwoTone().save(png));
    for (const bool ok : {true, false}) {
        QTimer::singleShot(0, [ok] {
            auto* dialog = qobject_cast<PictureImportDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->ThresholdSlider()->setValue(50);
            auto* box = dialog->findChild<QDialogButtonBox*>();
            box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        QString error = "stale";
        const auto cells = PictureImportDialog::Run(nullptr, png, &error);
        EXPECT_EQ(cells.has_value(), ok);
        EXPECT_TRUE(error.isEmpty());
        if (cells) {
            EXPECT_EQ(Lit(*cells), 12 * 12);
        }
    }
    QString error;
    EXPECT_FALSE(PictureImportDialog::Run(nullptr, dir.filePath("none.gif"), &error));
    EXPECT_TRUE(error.startsWith("none.gif: ")) << error.toStdString();
}

}  // namespace
}  // namespace velta
