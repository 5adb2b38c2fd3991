#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <set>
#include <string>

#include "device/device_reports.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"
#include "display/report_journal.h"
#include "ui/display_preview_window.h"
#include "ui/report_monitor_window.h"
#include "ui/steady_scroll_bar.h"

namespace velta {
namespace {

bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}

TEST(DisplayPreviewTest, PaintsTheLitGridLedsAtEverySize) {
    DisplayState state;
    int expectedLit = 0;
    for (int column = 0; column < kColumns; ++column) {
        // A diagonal, column 31 full and column 0 empty.
        state.columns[column] = column == 31  ? 0xFFF
                                : column == 0 ? 0
                                              : static_cast<std::uint16_t>(1u << (column % 12));
    }
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            expectedLit += state.Lit(row, column) ? 1 : 0;
    ASSERT_EQ(expectedLit, 30 + 12);

    for (int brightness : {15, 0}) {
        state.gridBrightness = brightness;
        const QColor lit = DisplayPreviewWindow::GridLitColor(brightness);
        ASSERT_FALSE(Near(lit, DisplayPreviewWindow::kOffColor));
        for (QSize size : {QSize(780, 440), QSize(1170, 660), QSize(520, 500)}) {
            SCOPED_TRACE(::testing::Message() << "brightness " << brightness << " size "
                                              << size.width() << "x" << size.height());
            DisplayPreviewWindow preview(state);
            preview.resize(size);
            preview.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
            const QImage image = preview.grab().toImage();
            int litSeen = 0;
            for (int row = 0; row < kRows; ++row) {
                for (int column = 0; column < kColumns; ++column) {
                    const QColor pixel =
                        image.pixelColor(preview.GridLedCentre(row, column).toPoint());
                    const bool isLit = Near(pixel, lit);
                    ASSERT_TRUE(isLit || Near(pixel, DisplayPreviewWindow::kOffColor))
                        << "row " << row << " column " << column << " "
                        << pixel.name().toStdString();
                    EXPECT_EQ(isLit, state.Lit(row, column))
                        << "row " << row << " column " << column;
                    litSeen += isLit ? 1 : 0;
                }
            }
            EXPECT_EQ(litSeen, expectedLit);
        }
    }
}

TEST(DisplayPreviewTest, MarqueeRunsOnlyWhileSeenWithText) {
    DisplayState state;
    DisplayPreviewWindow preview(state);
    enum Window { kHidden, kShown, kMinimised };
    const struct {
        const char* step;
        Window window;
        std::string text;
        bool running;
    } steps[] = {
        {"hidden with text", kHidden, "Hello", false},
        {"shown, no text", kShown, "", false},
        {"text arrives", kShown, "Hello", true},
        {"text goes", kShown, "", false},
        {"text again", kShown, "\x80 \x81", true},
        {"hidden", kHidden, "\x80 \x81", false},
        {"shown again", kShown, "\x80 \x81", true},
        {"minimised", kMinimised, "\x80 \x81", false},
        {"a report while minimised", kMinimised, "Hello", false},
        {"restored", kShown, "Hello", true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        state.textBytes = step.text;
        preview.StateChanged();
        if (step.window == kShown && (!preview.isVisible() || preview.isMinimized())) {
            preview.showNormal();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
        } else if (step.window == kMinimised && !preview.isMinimized()) {
            preview.showMinimized();
            ASSERT_TRUE(QTest::qWaitFor([&] { return preview.isMinimized(); }));
        } else if (step.window == kHidden) {
            preview.hide();
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return preview.MarqueeRunning() == step.running; }));
    }
    // The timer follows the scroll speed, and the text moves.
    state.scrollSpeed = 15;
    preview.StateChanged();
    EXPECT_LT(DisplayPreviewWindow::MarqueeInterval(15), DisplayPreviewWindow::MarqueeInterval(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview.MarqueeOffset() > 0; }));
}

using Columns = DisplayPreviewWindow::DotColumns;

Columns Mirrored(Columns c) {
    return {c[4], c[3], c[2], c[1], c[0]};
}

TEST(DotFontTest, KnownGlyphsAndStandIns) {
    const Columns box{0x7F, 0x41, 0x41, 0x41, 0x7F};
    const struct {
        std::uint8_t byte;
        Columns columns;
    } cases[] = {
        {' ', {0, 0, 0, 0, 0}},
        {'I', {0x00, 0x41, 0x7F, 0x41, 0x00}},
        {'L', {0x7F, 0x40, 0x40, 0x40, 0x40}},
        {'U', {0x3F, 0x40, 0x40, 0x40, 0x3F}},  // straight sides down to the bottom corners
        {'V', {0x1F, 0x20, 0x40, 0x20, 0x1F}},  // converging to a point
        {'!', {0x00, 0x00, 0x5F, 0x00, 0x00}},
        {0x01, box},  // control characters
        {0x7F, box},
        {0x81, box},  // unassigned in Windows-1252
        {0xF7, box},  // a division sign has no stand-in
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << int{c.byte});
        EXPECT_EQ(DisplayPreviewWindow::GlyphColumns(c.byte), c.columns);
    }
    const struct {
        std::uint8_t byte;
        char standIn;
    } standIns[] = {{0xC9, 'E'}, {0xE9, 'e'}, {0xC4, 'A'},  {0xFC, 'u'}, {0xD1, 'N'}, {0xDF, 's'},
                    {0x8A, 'S'}, {0x93, '"'}, {0x92, '\''}, {0x96, '-'}, {0xA0, ' '}, {0xFF, 'y'}};
    for (const auto& s : standIns) {
        SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << int{s.byte});
        EXPECT_EQ(DisplayPreviewWindow::GlyphColumns(s.byte),
                  DisplayPreviewWindow::GlyphColumns(static_cast<std::uint8_t>(s.standIn)));
    }
}

TEST(DotFontTest, PrintableAsciiGlyphsAreDistinctAndStayAboveTheBaseline) {
    std::set<Columns> seen;
    for (int byte = 0x21; byte <= 0x7E; ++byte) {
        SCOPED_TRACE(::testing::Message() << "character " << static_cast<char>(byte));
        const Columns columns = DisplayPreviewWindow::GlyphColumns(static_cast<std::uint8_t>(byte));
        EXPECT_TRUE(seen.insert(columns).second) << "looks like another character";
        EXPECT_NE(columns, (Columns{}));
        for (std::uint8_t column : columns)
            EXPECT_EQ(column & 0x80, 0) << "the row below the baseline stays dark";
    }
    for (char c : std::string("AHIMOTUVWXYovwx!*+-=^|")) {
        SCOPED_TRACE(::testing::Message() << "character " << c);
        const Columns columns = DisplayPreviewWindow::GlyphColumns(static_cast<std::uint8_t>(c));
        EXPECT_EQ(Mirrored(columns), columns);
    }
}

TEST(DotFontTest, MarqueeTakesSixColumnsPerCharacterAndAGap) {
    EXPECT_TRUE(DisplayPreviewWindow::TextColumns("").empty());
    for (const std::string text : {"V", "Hello", "Caf\xE9 \x80"}) {
        SCOPED_TRACE(text);
        const std::vector<std::uint8_t> columns = DisplayPreviewWindow::TextColumns(text);
        ASSERT_EQ(columns.size(), 6 * text.size() + DisplayPreviewWindow::kMarqueeGap);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const Columns glyph =
                DisplayPreviewWindow::GlyphColumns(static_cast<std::uint8_t>(text[i]));
            EXPECT_TRUE(std::equal(glyph.begin(), glyph.end(), columns.begin() + 6 * i));
            EXPECT_EQ(columns[6 * i + 5], 0) << "a blank column after character " << i;
        }
        EXPECT_TRUE(std::all_of(columns.begin() + 6 * text.size(), columns.end(),
                                [](std::uint8_t c) { return c == 0; }));
    }
}

// Counts the events of one type an object receives.
class EventCounter : public QObject {
  public:
    EventCounter(QEvent::Type type, int& count) : type_(type), count_(count) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == type_)
            ++count_;
        return QObject::eventFilter(watched, event);
    }

  private:
    QEvent::Type type_;
    int& count_;
};

// Gathers the region of every paint of the widgets it filters.
struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// A monitor over its own journal, with a clock that moves 2 ms per reading.
class MonitorTest : public ::testing::Test {
  protected:
    struct StepClock {
        std::chrono::steady_clock::time_point now{};
        std::chrono::steady_clock::time_point operator()() {
            now += std::chrono::milliseconds(2);
            return now;
        }
    };

    void SetUp() override {
        window.resize(700, 400);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    StepClock clock;
    ReportJournal journal{std::ref(clock)};
    ReportMonitorWindow window{journal};
};

TEST_F(MonitorTest, RowsShowTimeDirectionKindAndSummary) {
    PanelState::LedData picture{};
    picture[20] = 0x0F0;  // in the half the tail repeats
    picture[31] = 0x801;
    DeviceReport grid = GridReport(picture);
    journal.RecordWritten(grid, true);
    journal.RecordWritten(RfOnReport(), false);  // failed: the tail still follows the grid
    GridTailReport(grid, picture[31]);
    journal.RecordWritten(grid, true);
    journal.RecordRead(RfOnReport(), 64);
    journal.RecordWritten(TextReport("Hi"), true);
    journal.RecordWritten(grid, true);  // a tail with no grid before it
    window.CatchUp();

    ReportJournalModel& model = window.Model();
    ASSERT_EQ(model.rowCount(), 6);
    ASSERT_EQ(model.columnCount(), 4);
    const char* expected[][4] = {
        {"0.002", "written", "grid", "grid, columns 0-30"},
        {"0.004", "written", "RF on", "failed"},
        {"0.006", "written", "grid tail", "grid tail, column 31"},
        {"0.008", "read", "input", "input report, 64 bytes"},
        {"0.010", "written", "text", "text \"Hi\" (2 bytes)"},
        {"0.012", "written", "not understood", "unknown command 0x01"},
    };
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(model.data(model.index(row, column)).toString().toStdString(),
                      expected[row][column])
                << "row " << row << " column " << column;
        }
    }
    window.Table().selectRow(4);
    EXPECT_EQ(window.ShownHex().toStdString(), FormatReportHex(TextReport("Hi")));
}

TEST_F(MonitorTest, FullJournalDropsRowsAtTheFrontWithoutReset) {
    for (std::size_t i = 0; i < ReportJournal::kCapacity; ++i)
        journal.RecordWritten(i % 2 == 0 ? RfOnReport() : RfOffReport(), true);
    window.CatchUp();
    ASSERT_EQ(window.Model().rowCount(), 10000);
    QSignalSpy resets(&window.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(&window.Model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&window.Model(), &QAbstractItemModel::rowsInserted);
    window.Table().selectRow(9999);
    for (int i = 0; i < 3; ++i)
        journal.RecordWritten(TextReport("new"), true);
    window.CatchUp();
    EXPECT_EQ(window.Model().rowCount(), 10000);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][2].toInt(), 2);  // rows 0..2 left
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 9997);
    EXPECT_EQ(window.Model().Text(0, ReportJournalModel::kSummary), "RF off");
    EXPECT_EQ(window.Model().Text(9999, ReportJournalModel::kSummary), "text \"new\" (3 bytes)");
    // The selected report moved up with its row.
    EXPECT_EQ(window.Table().currentIndex().row(), 9996);

    // More new reports than the journal holds: a reset.
    for (std::size_t i = 0; i <= ReportJournal::kCapacity; ++i)
        journal.RecordWritten(RfOnReport(), true);
    window.CatchUp();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(window.Model().rowCount(), 10000);

    window.Clear();
    EXPECT_EQ(journal.Size(), 0u);
    EXPECT_EQ(window.Model().rowCount(), 0);
}

// What a following table shows after new rows, taken from the screen (not painted afresh), is
// what a new table over the same journal shows, though only a part of it was repainted: the new
// rows, with what was already there moved up by copying pixels.
TEST_F(MonitorTest, NewRowsRepaintLittleAndShowWhatAFreshTableShows) {
    PaintRecorder recorder;
    QWidget* port = window.Table().viewport();
    const auto onScreen = [](QWidget& top, QWidget* part) {
        const QPoint at = part->mapTo(&top, QPoint(0, 0));
        return top.screen()
            ->grabWindow(top.winId(), at.x(), at.y(), part->width(), part->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const struct {
        const char* change;
        std::size_t before;  // reports in the journal before
        int added;
        bool paused;
    } kCases[] = {
        {"rows below the last, the table not yet full", 3, 2, false},
        {"rows while following a full table", 300, 3, false},
        {"an odd number of rows dropped at the front while following", ReportJournal::kCapacity, 3,
         false},
        {"rows dropped at the front while paused", ReportJournal::kCapacity, 1, true},
    };
    for (const auto& c : kCases) {
        window.Clear();
        window.SetPaused(c.paused);
        for (std::size_t i = 0; i < c.before; ++i)
            journal.RecordWritten(i % 3 == 0 ? RfOnReport() : TextReport("x"), true);
        window.CatchUp();
        if (c.paused)
            window.Table().scrollToBottom();
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        port->installEventFilter(&recorder);
        recorder.painted = QRegion();
        for (int i = 0; i < c.added; ++i)
            journal.RecordWritten(RfOffReport(), true);
        window.CatchUp();
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        port->removeEventFilter(&recorder);

        ReportMonitorWindow fresh(journal);
        fresh.resize(window.size());
        fresh.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
        fresh.CatchUp();
        fresh.Table().verticalScrollBar()->setValue(window.Table().verticalScrollBar()->value());
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        EXPECT_EQ(onScreen(window, port), onScreen(fresh, fresh.Table().viewport())) << c.change;
        const QRect whole = port->rect();
        int area = 0;
        for (const QRect& r : recorder.painted& whole)
            area += r.width() * r.height();
        EXPECT_LT(area, whole.width() * whole.height() / 4) << c.change;
    }
}

// Reports arriving one at a time, each in an event-loop pass of its own as the link delivers
// them, are taken in once a frame; a window nobody sees takes nothing in until it is seen.
TEST_F(MonitorTest, CatchesUpOnceAFrameAndOnlyWhenSeen) {
    int paints = 0;
    EventCounter counter(QEvent::Paint, paints);
    window.Table().viewport()->installEventFilter(&counter);
    QSignalSpy insertions(&window.Model(), &QAbstractItemModel::rowsInserted);
    QApplication::processEvents();
    paints = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        journal.RecordWritten(RfOnReport(), true);
        window.JournalChanged();
        QApplication::processEvents();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Model().rowCount() == 200; }));
    QApplication::processEvents();
    const qint64 frames = clock.elapsed() / window.FrameInterval() + 1;
    EXPECT_LE(insertions.count(), frames);
    EXPECT_LE(paints, frames + 1);
    EXPECT_LT(insertions.count(), 50) << "not one catch-up per report";

    const struct {
        const char* step;
        void (ReportMonitorWindow::*show)();
        bool seen;
    } steps[] = {
        {"hidden", &ReportMonitorWindow::hide, false},
        {"shown", &ReportMonitorWindow::showNormal, true},
        {"minimised", &ReportMonitorWindow::showMinimized, false},
        {"restored", &ReportMonitorWindow::showNormal, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        (window.*step.show)();
        journal.RecordWritten(RfOnReport(), true);
        window.JournalChanged();
        const auto caughtUp = [&] {
            return static_cast<std::size_t>(window.Model().rowCount()) == journal.Size();
        };
        if (step.seen) {
            EXPECT_TRUE(QTest::qWaitFor(caughtUp));
        } else {
            QTest::qWait(3 * window.FrameInterval());
            EXPECT_FALSE(caughtUp());
        }
    }
}

TEST_F(MonitorTest, CopiedRowsParseBackToTheirReports) {
    const DeviceReport reports[] = {RfOnReport(), TextReport("Caf\xC3\xA9"), PodReport({1, 2, 3}),
                                    RingReport({}, 7, 8), RfOffReport()};
    for (const DeviceReport& r : reports)
        journal.RecordWritten(r, true);
    window.CatchUp();
    QItemSelectionModel* selection = window.Table().selectionModel();
    for (int row : {3, 1, 2})
        selection->select(window.Model().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.Copy();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied, window.SelectedHexLines());
    const ReportHexLines parsed = ParseReportHexLines(copied.toStdString());
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.reports, (std::vector<DeviceReport>{reports[1], reports[2], reports[3]}));
}

// A growing log moves the slider by a pixel or less at a time: an unchanged slider repaints
// nothing, a moved one only where it was and where it is, a change at either end the whole bar.
TEST(SteadyScrollBarTest, RepaintsOnlyWhatChanged) {
    PaintRecorder recorder;
    QWidget window;
    auto* bar = new SteadyScrollBar(Qt::Vertical, &window);
    bar->setGeometry(0, 0, 16, 200);
    bar->setRange(0, 100000);
    bar->setValue(50000);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    bar->installEventFilter(&recorder);
    enum Repaint { Nothing, Part, Whole };
    const struct {
        const char* change;
        void (*apply)(QScrollBar&);
        Repaint repaint;
    } kCases[] = {
        {"value by one", [](QScrollBar& b) { b.setValue(b.value() + 1); }, Nothing},
        {"range then value, as a refresh does",
         [](QScrollBar& b) {
             b.setMaximum(b.maximum() + 3);
             b.setValue(b.value() + 3);
         },
         Nothing},
        {"value by a tenth", [](QScrollBar& b) { b.setValue(b.value() + 10000); }, Part},
        {"to the end, where the arrow dims", [](QScrollBar& b) { b.setValue(b.maximum()); }, Whole},
        {"range shrunk: a longer slider", [](QScrollBar& b) { b.setRange(0, 10); }, Part},
        {"back to the start", [](QScrollBar& b) { b.setValue(0); }, Whole},
    };
    for (const auto& c : kCases) {
        recorder.painted = QRegion();
        c.apply(*bar);
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        const Repaint seen = recorder.painted.isEmpty()                            ? Nothing
                             : (QRegion(bar->rect()) - recorder.painted).isEmpty() ? Whole
                                                                                   : Part;
        EXPECT_EQ(seen, c.repaint) << c.change;
    }
}

}  // namespace
}  // namespace velta
